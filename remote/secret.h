#pragma once

#include <QByteArrayView>

// Whether a token given by a client is the secret. Takes as long for a near miss as for a wild
// guess: the time depends on the secret's length only.
inline bool sameSecret(QByteArrayView given, QByteArrayView secret)
{
    unsigned difference = given.size() == secret.size() ? 0U : 1U;
    for (qsizetype i = 0; i < secret.size(); ++i) {
        const char g = i < given.size() ? given[i] : '\0';
        difference |=
            static_cast<unsigned>(static_cast<unsigned char>(g) ^ static_cast<unsigned char>(secret[i]));
    }
    return difference == 0;
}
