#include "presentation_contexts.h"

#include <dcmtk/dcmdata/dcuid.h>

#include <string>
#include <unordered_set>

namespace host {
namespace {

const std::unordered_set<std::string>& acceptedAbstractSyntaxes()
{
    static const std::unordered_set<std::string> syntaxes = [] {
        std::unordered_set<std::string> set{UID_VerificationSOPClass};
        for (int i = 0; i < numberOfDcmAllStorageSOPClassUIDs; ++i)
            set.insert(dcmAllStorageSOPClassUIDs[i]);
        return set;
    }();
    return syntaxes;
}

const std::unordered_set<std::string>& acceptedTransferSyntaxes()
{
    static const std::unordered_set<std::string> syntaxes = {
        UID_LittleEndianImplicitTransferSyntax,
        UID_LittleEndianExplicitTransferSyntax,
        UID_BigEndianExplicitTransferSyntax,
        UID_DeflatedExplicitVRLittleEndianTransferSyntax,
        UID_JPEGProcess1TransferSyntax,
        UID_JPEGProcess2_4TransferSyntax,
        UID_JPEGProcess14TransferSyntax,
        UID_JPEGProcess14SV1TransferSyntax,
        UID_JPEGLSLosslessTransferSyntax,
        UID_JPEGLSLossyTransferSyntax,
        UID_JPEG2000LosslessOnlyTransferSyntax,
        UID_JPEG2000TransferSyntax,
        UID_JPEG2000Part2MulticomponentImageCompressionLosslessOnlyTransferSyntax,
        UID_JPEG2000Part2MulticomponentImageCompressionTransferSyntax,
        UID_RLELosslessTransferSyntax,
        UID_MPEG2MainProfileAtMainLevelTransferSyntax,
        UID_MPEG2MainProfileAtHighLevelTransferSyntax,
        UID_MPEG4HighProfileLevel4_1TransferSyntax,
        UID_MPEG4BDcompatibleHighProfileLevel4_1TransferSyntax,
        UID_MPEG4HighProfileLevel4_2_For2DVideoTransferSyntax,
        UID_MPEG4HighProfileLevel4_2_For3DVideoTransferSyntax,
        UID_MPEG4StereoHighProfileLevel4_2TransferSyntax,
        UID_HEVCMainProfileLevel5_1TransferSyntax,
        UID_HEVCMain10ProfileLevel5_1TransferSyntax,
    };
    return syntaxes;
}

} // namespace

int negotiatePresentationContexts(T_ASC_Parameters* params)
{
    int accepted = 0;
    const int count = ASC_countPresentationContexts(params);
    for (int i = 0; i < count; ++i) {
        T_ASC_PresentationContext context;
        if (ASC_getPresentationContext(params, i, &context).bad())
            continue;
        if (acceptedAbstractSyntaxes().count(context.abstractSyntax) == 0) {
            ASC_refusePresentationContext(params, context.presentationContextID, ASC_P_ABSTRACTSYNTAXNOTSUPPORTED);
            continue;
        }
        const char* chosen = nullptr;
        for (int t = 0; t < static_cast<int>(context.transferSyntaxCount) && chosen == nullptr; ++t)
            if (acceptedTransferSyntaxes().count(context.proposedTransferSyntaxes[t]) != 0)
                chosen = context.proposedTransferSyntaxes[t];
        if (chosen == nullptr) {
            ASC_refusePresentationContext(params, context.presentationContextID,
                                          ASC_P_TRANSFERSYNTAXESNOTSUPPORTED);
            continue;
        }
        if (ASC_acceptPresentationContext(params, context.presentationContextID, chosen).good())
            ++accepted;
    }
    return accepted;
}

} // namespace host
