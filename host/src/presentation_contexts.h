// Which presentation contexts `dicom-host serve` accepts: verification and
// every storage SOP class that DCMTK knows, each in any of the uncompressed,
// deflated and compressed transfer syntaxes listed in the .cpp. Of the
// transfer syntaxes a context proposes, the first one accepted is chosen, so
// the sender's preference wins and objects are stored as sent.
#ifndef HOST_PRESENTATION_CONTEXTS_H
#define HOST_PRESENTATION_CONTEXTS_H

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/assoc.h>

namespace host {

// Accepts or refuses every proposed context of `params`. Answers the number
// accepted.
int negotiatePresentationContexts(T_ASC_Parameters* params);

} // namespace host

#endif // HOST_PRESENTATION_CONTEXTS_H
