#pragma once

#include "engine/result.h"

#include <QString>

struct RemoteTokens {
    QString view, control;
};

// The remote view's tokens kept in a file, so that its addresses (and the desk's configuration,
// the printed QR codes) survive a restart of the program: {"view": "…", "control": "…"}. A file
// that does not exist yet is made with new tokens, readable by its owner alone. A file that does
// not hold two tokens as the program makes them is refused, and left as it is.
Result<RemoteTokens> remoteTokensFrom(const QString &path);
