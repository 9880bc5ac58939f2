#pragma once

#include <windows.h>
#include <objbase.h>

// Windows only: COM joined for the scope (COINIT_APARTMENTTHREADED or
// COINIT_MULTITHREADED) and left again on every way out. A thread already in
// another kind of apartment keeps it and is not left.
class ComApartment
{
public:
    explicit ComApartment(DWORD model) : joined(SUCCEEDED(CoInitializeEx(nullptr, model))) {}
    ~ComApartment()
    {
        if (joined)
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool joined;
};
