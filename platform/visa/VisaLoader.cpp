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
        candidates.push_back((folder.parent_path() / "lib" / "ostrel" / "libostrel-visa.so").string());
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

std::shared_ptr<const VisaFunctions> VisaLoader::Default()
{
    static std::once_flag once;
    static std::shared_ptr<const VisaFunctions> functions;
    std::call_once(once, [] { functions = Load(DefaultCandidates()); });
    return functions;
}
