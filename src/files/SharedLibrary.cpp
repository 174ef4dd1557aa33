#include "files/SharedLibrary.h"

#include "files/Log.h"
#include "files/Paths.h"

#include <QByteArray>
#include <QString>

#include <sys/mman.h>
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <functional>

#include <map>
#include <mutex>
#include <string>

namespace pictomat {

namespace {

// A bit per library name, in memory shared with the processes forked later.
constexpr size_t kComplaintBits = 4096;
std::atomic<uint64_t>* g_sharedComplaints = nullptr;
// Only a lock-free atomic works across processes.
static_assert(std::atomic<uint64_t>::is_always_lock_free);

// Whether this is the first complaint of the library among the processes
// that share complaints (always, in a process that shares none).
bool firstComplaint(const char* libraryName)
{
    if (!g_sharedComplaints)
        return true;
    const size_t bit = std::hash<std::string>{}(libraryName) % kComplaintBits;
    const uint64_t mask = uint64_t(1) << (bit % 64);
    return (g_sharedComplaints[bit / 64].fetch_or(mask) & mask) == 0;
}

} // namespace

void ShareLibraryComplaints()
{
    if (g_sharedComplaints)
        return;
    void* shared = ::mmap(nullptr, kComplaintBits / 8, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared != MAP_FAILED)
        g_sharedComplaints = static_cast<std::atomic<uint64_t>*>(shared);
}

void* OpenLibrary(const char* soname)
{
    // Asked once per name, so that a missing library is logged once however
    // many tables want it.
    static std::mutex mutex;
    static std::map<std::string, void*> opened;
    const std::lock_guard<std::mutex> lock(mutex);
    const auto known = opened.find(soname);
    if (known != opened.end())
        return known->second;
    // Local: the libraries' symbols stay out of the way of everything else
    // the process loads. Never closed: the tables keep pointers into it.
    void* handle = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
        const QString why = QString::fromLocal8Bit(::dlerror());
        if (firstComplaint(soname))
            qCWarning(lcFiles).noquote()
                << QStringLiteral("Cannot load %1: %2").arg(QString::fromLocal8Bit(soname), why);
    }
    opened.emplace(soname, handle);
    return handle;
}

void* OpenModule(const char* file)
{
    const QByteArray folder = ProgramFolder();
    if (folder.isEmpty()) {
        qCWarning(lcFiles).noquote()
            << QStringLiteral("Cannot load %1: where the program lies is unknown").arg(QLatin1String(file));
        return nullptr;
    }
    return OpenLibrary((folder + "/../" PICTOMAT_MODULE_DIR "/" + file).constData());
}

void* LibraryFunction(void* library, const char* function)
{
    return ::dlsym(library, function);
}

void LogMissingFunctions(const char* libraryName, const std::string& functions)
{
    if (!firstComplaint(libraryName))
        return;
    const QString lacking = QString::fromStdString(functions);
    qCWarning(lcFiles).noquote()
        << QStringLiteral("Cannot load %1: it has no %2").arg(QString::fromLocal8Bit(libraryName), lacking);
}

} // namespace pictomat
