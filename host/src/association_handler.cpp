#include "association_handler.h"

#include "host_log.h"
#include "incoming_file_stream.h"
#include "presentation_contexts.h"
#include "shutdown_signal.h"
#include "windows_paths.h"

#include <dcmtk/dcmdata/dcostrmf.h>

#include <cstdio>
#include <system_error>

namespace host {
namespace {

// How long a wait for the next request lasts before the shutdown flag is
// looked at again.
constexpr int kRequestPollSeconds = 1;
// How long the peer may pause within one object.
constexpr int kDataTimeoutSeconds = 60;
// How long to wait for the peer to close its end after a release.
constexpr int kDropTimeoutSeconds = 5;

std::string trimmed(const char* text)
{
    std::string value = text;
    const auto first = value.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    return value.substr(first, value.find_last_not_of(' ') - first + 1);
}

std::string statusText(Uint16 status)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", status);
    return text;
}

void removeQuietly(const std::filesystem::path& path)
{
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

} // namespace

struct AssociationHandler::ReceivedFile {
    bool connectionAlive = true; // false: the association cannot go on
    bool written = false;        // true: the partial file holds the whole object
    std::string problem;
};

AssociationHandler::AssociationHandler(ServeContext& context, T_ASC_Association* association, unsigned long id)
    : context_(context), association_(association), id_(id)
{
}

AssociationHandler::~AssociationHandler()
{
    if (association_ != nullptr) {
        ASC_dropAssociation(association_);
        ASC_destroyAssociation(&association_);
    }
}

std::string AssociationHandler::prefix() const { return "association #" + std::to_string(id_); }

void AssociationHandler::run()
{
    if (negotiate())
        serveRequests();
}

bool AssociationHandler::negotiate()
{
    T_ASC_Parameters* params = association_->params;
    char calling[64] = "";
    char called[64] = "";
    ASC_getAPTitles(params, calling, sizeof calling, called, sizeof called, nullptr, 0);
    callingAeTitle_ = trimmed(calling);
    calledAeTitle_ = trimmed(called);
    peer_ = params->DULparams.callingPresentationAddress;
    const std::string who = prefix() + " from " + peer_ + ": " + callingAeTitle_ + " -> " + calledAeTitle_;

    auto reject = [&](T_ASC_RejectParametersResult result, T_ASC_RejectParametersSource source,
                      T_ASC_RejectParametersReason reason, const std::string& why) {
        T_ASC_RejectParameters rejection = {result, source, reason};
        ASC_rejectAssociation(association_, &rejection);
        ASC_dropSCPAssociation(association_, kDropTimeoutSeconds);
        ASC_destroyAssociation(&association_);
        logLine(who + " rejected: " + why);
        return false;
    };

    char applicationContext[DICOM_UI_LENGTH + 1] = "";
    ASC_getApplicationContextName(params, applicationContext, sizeof applicationContext);
    if (std::string(applicationContext) != UID_StandardApplicationContext)
        return reject(ASC_RESULT_REJECTEDPERMANENT, ASC_SOURCE_SERVICEUSER,
                      ASC_REASON_SU_APPCONTEXTNAMENOTSUPPORTED, "application context not supported");
    if (calledAeTitle_ != context_.aeTitle)
        return reject(ASC_RESULT_REJECTEDPERMANENT, ASC_SOURCE_SERVICEUSER, ASC_REASON_SU_CALLEDAETITLENOTRECOGNIZED,
                      "called AE title not recognised");
    if (ShutdownSignal::requested())
        return reject(ASC_RESULT_REJECTEDTRANSIENT, ASC_SOURCE_SERVICEPROVIDER_PRESENTATION_RELATED,
                      ASC_REASON_SP_PRES_TEMPORARYCONGESTION, "shutting down");

    const int accepted = negotiatePresentationContexts(params);
    OFCondition cond = ASC_acknowledgeAssociation(association_);
    if (cond.bad()) {
        logLine(who + " failed while accepting: " + cond.text());
        return false;
    }
    logLine(who + " accepted (" + std::to_string(accepted) + " of " +
            std::to_string(ASC_countPresentationContexts(params)) + " presentation contexts)");
    return true;
}

void AssociationHandler::serveRequests()
{
    for (;;) {
        if (ShutdownSignal::requested())
            return end("aborted: shutting down", true);

        T_DIMSE_Message message;
        T_ASC_PresentationContextID presentationContextId = 0;
        OFCondition cond = DIMSE_receiveCommand(association_, DIMSE_NONBLOCKING, kRequestPollSeconds,
                                                &presentationContextId, &message, nullptr);
        if (cond == DIMSE_NODATAAVAILABLE)
            continue;
        if (cond == DUL_PEERREQUESTEDRELEASE) {
            ASC_acknowledgeRelease(association_);
            ASC_dropSCPAssociation(association_, kDropTimeoutSeconds);
            logVerbose(prefix() + " released");
            return;
        }
        if (cond == DUL_PEERABORTEDASSOCIATION)
            return end("aborted by the peer", false);
        if (cond.bad())
            return end(std::string("failed: ") + cond.text(), true);

        switch (message.CommandField) {
        case DIMSE_C_ECHO_RQ:
            cond = DIMSE_sendEchoResponse(association_, presentationContextId, &message.msg.CEchoRQ, STATUS_Success,
                                          nullptr);
            logVerbose(prefix() + " answered C-ECHO");
            break;
        case DIMSE_C_STORE_RQ:
            cond = store(presentationContextId, message.msg.CStoreRQ);
            break;
        default:
            return end("aborted: unsupported request " + std::to_string(message.CommandField), true);
        }
        if (cond.bad())
            return end(std::string("failed: ") + cond.text(), true);
    }
}

void AssociationHandler::end(const std::string& why, bool abort)
{
    if (abort)
        ASC_abortAssociation(association_);
    logLine(prefix() + " " + why);
}

OFCondition AssociationHandler::store(T_ASC_PresentationContextID presentationContextId,
                                      const T_DIMSE_C_StoreRQ& request)
{
    const IncomingName name = context_.incoming.reserveName();
    const std::string object = prefix() + " object " + request.AffectedSOPInstanceUID + " -> " +
                               name.complete.string() + ": ";

    ReceivedFile received = receiveIntoFile(presentationContextId, request, name);
    if (!received.connectionAlive) {
        removeQuietly(name.partial);
        logLine(object + "not received: " + received.problem);
        return DIMSE_RECEIVEFAILED;
    }

    Uint16 status = STATUS_STORE_Refused_OutOfResources;
    std::string outcome;
    std::error_code renameError;
    if (received.written)
        std::filesystem::rename(name.partial, name.complete, renameError);
    if (!received.written || renameError) {
        removeQuietly(name.partial);
        outcome = "cannot write the incoming file: " + (received.written ? renameError.message() : received.problem);
    } else if (handToModule(name.complete.string())) {
        status = STATUS_Success;
        outcome = "filed";
    } else {
        outcome = "the module refused it";
    }

    T_DIMSE_C_StoreRSP response{};
    response.MessageIDBeingRespondedTo = request.MessageID;
    response.DimseStatus = status;
    response.DataSetType = DIMSE_DATASET_NULL;
    OFStandard::strlcpy(response.AffectedSOPClassUID, request.AffectedSOPClassUID,
                        sizeof response.AffectedSOPClassUID);
    OFStandard::strlcpy(response.AffectedSOPInstanceUID, request.AffectedSOPInstanceUID,
                        sizeof response.AffectedSOPInstanceUID);
    response.opts = O_STORE_AFFECTEDSOPCLASSUID | O_STORE_AFFECTEDSOPINSTANCEUID;
    OFCondition cond = DIMSE_sendStoreResponse(association_, presentationContextId, &request, &response, nullptr);

    logLine(object + (status == STATUS_Success ? outcome : "failed (status " + statusText(status) + "): " + outcome));
    return cond;
}

AssociationHandler::ReceivedFile AssociationHandler::receiveIntoFile(
    T_ASC_PresentationContextID presentationContextId, const T_DIMSE_C_StoreRQ& request, const IncomingName& name)
{
    ReceivedFile result;

    // The meta header, from the request and the presentation context.
    std::FILE* file = nullptr;
    DcmOutputFileStream* metaStream = nullptr;
    OFCondition cond = DIMSE_createFilestream(OFFilename(name.partial.c_str()), &request, association_,
                                              presentationContextId, OFTrue, &metaStream);
    if (cond.good()) {
        const bool metaWritten = metaStream->good();
        const offile_off_t metaBytes = metaStream->tell();
        delete metaStream;
        std::error_code sizeError;
        const auto size = std::filesystem::file_size(name.partial, sizeError);
        if (metaWritten && !sizeError && size == static_cast<std::uintmax_t>(metaBytes))
            file = std::fopen(name.partial.c_str(), "ab");
        if (file == nullptr)
            result.problem = "cannot write the meta header";
    } else {
        delete metaStream;
        result.problem = cond.text();
    }

    // The data set, as received. Without a file it is read and dropped, so
    // the request can still be answered.
    IncomingFileStream stream(file);
    T_ASC_PresentationContextID dataContextId = 0;
    cond = DIMSE_receiveDataSetInFile(association_, DIMSE_NONBLOCKING, kDataTimeoutSeconds, &dataContextId, &stream,
                                      nullptr, nullptr);
    std::string writeError;
    const bool dataWritten = stream.close(writeError);
    if (cond.bad()) {
        result.connectionAlive = false;
        result.problem = cond.text();
    } else if (result.problem.empty() && !dataWritten) {
        result.problem = writeError;
    }
    result.written = result.connectionAlive && result.problem.empty();
    return result;
}

bool AssociationHandler::handToModule(const std::string& path)
{
    try {
        return context_.configuration.storeReceivedFile(toWindowsForm(path), callingAeTitle_, calledAeTitle_);
    } catch (...) {
        return false;
    }
}

} // namespace host
