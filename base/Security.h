#pragma once

// How a connection is secured: an account's stored value "Security"; an
// account without it is plain POP3.
enum TSecurity : int {
    secNone = 0,     // plain text throughout
    secStartTls = 1, // the session asks for TLS before logging in
    secTls = 2,      // TLS from the first byte
};
