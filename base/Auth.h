#pragma once

// How an account logs in: its stored value "Auth"; an account without it
// uses its password.
enum TAuth {
    authPassword = 0, // USER and PASS
    authOAuth2 = 1,   // an OAuth 2.0 bearer token, AUTH XOAUTH2 or OAUTHBEARER
    authDesktop = 2,  // the same, with the token the desktop's online account hands out
};

// Whether the login sends a bearer token instead of the password.
constexpr bool SendsToken(int auth)
{
    return auth == authOAuth2 || auth == authDesktop;
}
