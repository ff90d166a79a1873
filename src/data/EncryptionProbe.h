#pragma once

// Why an encrypted (or unencrypted) login failed. Drivers report a refused
// TLS handshake, a certificate that fails its check and a server that
// insists on encryption all as "connection failed"; after such a failure
// the facade asks the server itself what it offers (one PRELOGIN packet,
// as every TDS client sends first) and says in Russian what went wrong.

#include "ConnectionString.h"

#include <QString>

// The ENCRYPTION answer of a server's PRELOGIN reply.
enum class TServerEncryption : qint8 {
    Unknown = -1,   // no answer, or not a TDS server
    Off = 0,        // can encrypt, encrypts the login only unless asked
    On = 1,
    NotSupported = 2,
    Required = 3,
};

// Sends a PRELOGIN offering ENCRYPT_OFF (a client that can encrypt) to
// Host:Port and reads the server's ENCRYPTION answer, waiting at most
// TimeoutMs for each step. A server with a certificate answers Off; one
// that insists on encryption answers On (or Required); one without a
// certificate NotSupported.
[[nodiscard]] TServerEncryption ProbeServerEncryption(const QString &Host, int Port, int TimeoutMs);

// The message for a login that failed without a word from the server,
// given what the server offers; empty when the encryption settings do not
// explain the failure.
[[nodiscard]] QString EncryptionFailureText(const TConnectionSecurity &Security, TServerEncryption Server);
