#pragma once

// How an account logs in: its stored value "Auth"; an account without it
// uses its password.
enum TAuth {
    authPassword = 0, // USER and PASS
    authOAuth2 = 1,   // an OAuth 2.0 bearer token, AUTH XOAUTH2 or OAUTHBEARER
};
