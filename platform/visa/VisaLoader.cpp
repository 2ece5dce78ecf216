#include "VisaLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <mutex>

namespace
{

std::filesystem::path ProgramFolder()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : program.parent_path();
}

template <typename Function>
bool Resolve(void* library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(::dlsym(library, name));
    return function != nullptr;
}

} // namespace

std::vector<std::string> VisaLoader::DefaultCandidates()
{
    std::vector<std::string> candidates{"libvisa.so.7", "libvisa.so.0", "libvisa.so"};
    const std::filesystem::path folder = ProgramFolder();
    if (!folder.empty()) {
        candidates.push_back((folder / "libostrel-visa.so").string());
        candidates.push_back((folder.parent_path() / OSTREL_PRIVATE_LIBDIR / "libostrel-visa.so").string());
    }
    return candidates;
}

std::shared_ptr<const VisaFunctions> VisaLoader::Load(const std::vector<std::string>& candidates)
{
    for (const std::string& candidate : candidates) {
        void* const library = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library)
            continue;
        auto functions = std::shared_ptr<VisaFunctions>(new VisaFunctions, [library](VisaFunctions* table) {
            delete table;
            ::dlclose(library);
        });
        VisaFunctions& f = *functions;
        if (Resolve(library, "viOpenDefaultRM", f.viOpenDefaultRM) && Resolve(library, "viFindRsrc", f.viFindRsrc) &&
            Resolve(library, "viFindNext", f.viFindNext) && Resolve(library, "viOpen", f.viOpen) &&
            Resolve(library, "viClose", f.viClose) && Resolve(library, "viGetAttribute", f.viGetAttribute) &&
            Resolve(library, "viSetAttribute", f.viSetAttribute) && Resolve(library, "viStatusDesc", f.viStatusDesc) &&
            Resolve(library, "viLock", f.viLock) && Resolve(library, "viUnlock", f.viUnlock) &&
            Resolve(library, "viRead", f.viRead) && Resolve(library, "viWrite", f.viWrite)) {
            f.path = candidate;
            return functions;
        }
    }
    std::fputs("VISA not available.\n", stderr);
    return nullptr;
}

namespace
{

struct DefaultLibrary
{
    std::mutex lock;
    bool loaded = false;
    std::shared_ptr<const VisaFunctions> functions;
};

DefaultLibrary& TheDefault()
{
    static DefaultLibrary library;
    return library;
}

} // namespace

std::shared_ptr<const VisaFunctions> VisaLoader::Default()
{
    DefaultLibrary& library = TheDefault();
    std::lock_guard<std::mutex> lock(library.lock);
    if (!library.loaded) {
        library.functions = Load(DefaultCandidates());
        library.loaded = true;
    }
    return library.functions;
}

std::shared_ptr<const VisaFunctions> VisaLoader::ReplaceDefault(std::shared_ptr<const VisaFunctions> functions)
{
    DefaultLibrary& library = TheDefault();
    std::lock_guard<std::mutex> lock(library.lock);
    library.loaded = true;
    std::swap(library.functions, functions);
    return functions;
}
