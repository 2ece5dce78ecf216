#pragma once

// The VISA library, loaded on first use: the usual names of an installed
// VISA on Linux first, then our own library beside the program. The first
// that loads and exports every function below wins; with none the program
// goes on without VISA. All calls go through one table of the standard's
// signatures, so tests can also hand callers a table of their own.

#include "VisaTypes.h"

#include <memory>
#include <string>
#include <vector>

struct VisaFunctions
{
    ViOpenDefaultRMFn viOpenDefaultRM = nullptr;
    ViFindRsrcFn viFindRsrc = nullptr;
    ViFindNextFn viFindNext = nullptr;
    ViOpenFn viOpen = nullptr;
    ViCloseFn viClose = nullptr;
    ViGetAttributeFn viGetAttribute = nullptr;
    ViSetAttributeFn viSetAttribute = nullptr;
    ViStatusDescFn viStatusDesc = nullptr;
    ViLockFn viLock = nullptr;
    ViUnlockFn viUnlock = nullptr;
    ViReadFn viRead = nullptr;
    ViWriteFn viWrite = nullptr;

    std::string path; // of the library the functions come from
};

class VisaLoader
{
public:
    // libvisa.so.7, libvisa.so.0, libvisa.so, then libostrel-visa.so in the
    // program's folder and in the installation's private library folder
    // (../lib/<multiarch>/ostrel from the program's).
    static std::vector<std::string> DefaultCandidates();

    // The functions of the first candidate that has all of them, or null
    // (and "VISA not available." on the diagnostic output). A library that
    // lacks a function is closed again.
    static std::shared_ptr<const VisaFunctions> Load(const std::vector<std::string>& candidates);

    // Load(DefaultCandidates()), once per process, on the first call.
    static std::shared_ptr<const VisaFunctions> Default();
    // What Default() gives from now on (null: no VISA), for tests that choose
    // the transport; returns what it gave before.
    static std::shared_ptr<const VisaFunctions> ReplaceDefault(std::shared_ptr<const VisaFunctions> functions);
};
