#include "worker/WorkerServer.h"

#include "image/MediaIcons.h"
#include "read/Preload.h"
#include "read/Sniff.h"
#include "read/Source.h"
#include "worker/Sandbox.h"
#include "files/LibraryNames.h"
#include "files/Paths.h"
#include "files/SharedLibrary.h"
#include "worker/WorkerProtocol.h"

#include <QBuffer>

#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace pictomat::worker {

namespace {

int g_reply = -1; // the request's socket, for the allocation failure handler

void outOfMemory()
{
    // Nothing may be allocated here: the message is encoded on the stack.
    char message[8];
    const uint32_t magic = kMagic;
    const uint16_t version = kVersion, kind = uint16_t(ReplyKind::OutOfMemory);
    std::memcpy(message, &magic, 4);
    std::memcpy(message + 4, &version, 2);
    std::memcpy(message + 6, &kind, 2);
    ::send(g_reply, message, sizeof message, MSG_NOSIGNAL);
    ::_exit(3);
}

bool testsAllowed()
{
    const char* value = std::getenv(kTestEnvironment);
    return value && std::strcmp(value, "1") == 0;
}

// The failures the tests order by a file's first bytes (kTestHead).
void failForTest(int file)
{
    char head[512] = {};
    const ssize_t n = ::pread(file, head, sizeof head - 1, 0);
    const size_t prefix = sizeof kTestHead - 1;
    if (n < ssize_t(prefix) || std::memcmp(head, kTestHead, prefix) != 0)
        return;
    const char* word = head + prefix;
    if (std::strncmp(word, "crash", 5) == 0) {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
    }
    if (std::strncmp(word, "spin", 4) == 0)
        for (;;)
            asm volatile("" ::: "memory"); // a loop the compiler keeps
    if (std::strncmp(word, "hang", 4) == 0)
        for (;;)
            ::pause();
    // Tries what the sandbox forbids, the path to read after the word; a
    // reader that gets any of it out crashes, which the tests hear of.
    if (std::strncmp(word, "escape ", 7) == 0) {
        std::string path(word + 7);
        path = path.substr(0, path.find('\n'));
        const int read = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        const int written = ::open("/tmp", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        const int network = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int local = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        char* const argv[] = {const_cast<char*>("/bin/true"), nullptr};
        const int ran = ::execv("/bin/true", argv);
        if (read >= 0 || written >= 0 || network >= 0 || local >= 0 || ran == 0) {
            volatile int* nowhere = nullptr;
            *nowhere = 1;
        }
        return;
    }
    if (std::strncmp(word, "allocate", 8) == 0) {
        // As a decoder trusting a header would: blocks asked for and
        // touched once each, without end.
        std::vector<std::unique_ptr<char[]>> held;
        for (;;) {
            held.emplace_back(new char[size_t(64) * 1024 * 1024]);
            *static_cast<char volatile*>(held.back().get()) = 1;
        }
    }
}

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash > 0 ? path.left(slash) : QByteArray();
}

bool linksWithinItsFolder(int file, const QByteArray& path)
{
    QByteArray head(kSniffBytes, Qt::Uninitialized);
    const ssize_t n = ::pread(file, head.data(), size_t(head.size()), 0);
    if (n <= 0)
        return false;
    head.truncate(qsizetype(n));
    const Sniffed sniffed = SniffContent(head, path);
    return sniffed.format == "svg" || sniffed.format == "svgz";
}

QByteArray modulesFolder()
{
    const QByteArray folder = ProgramFolder();
    return folder.isEmpty() ? QByteArray() : folder + "/../" PICTOMAT_MODULE_DIR;
}

// The answer, with the pixels or bytes in a sealed memfd: the program maps it
// knowing it cannot shrink under it.
void finish(int reply, PictureStatus status, const QList<QByteArrayView>& pieces = {}, const QList<int>& edges = {},
            QSize size = {}, QSize natural = {})
{
    Reply answer;
    answer.kind = ReplyKind::Finished;
    answer.status = uint8_t(status);
    answer.edges = edges;
    answer.size = size.isValid() ? size : QSize(0, 0);
    answer.natural = natural.isValid() ? natural : QSize(0, 0);
    UniqueFd memfd;
    if (!pieces.isEmpty()) {
        memfd = SealedMemfd(pieces);
        for (QByteArrayView piece : pieces)
            answer.bytes += uint64_t(piece.size());
        if (!memfd.valid()) {
            answer.status = uint8_t(PictureStatus::TooLarge);
            answer.edges.clear();
            answer.bytes = 0;
        }
    }
    const int fd = memfd.get();
    SendMessage(reply, EncodeReply(answer), memfd.valid() ? &fd : nullptr, memfd.valid() ? 1 : 0);
}

[[noreturn]] void serveChild(const Request& request, int file, int reply)
{
    g_reply = reply;
    std::set_new_handler(outOfMemory);
    Reply started;
    started.kind = ReplyKind::Started;
    started.pid = int32_t(::getpid());
    if (!SendMessage(reply, EncodeReply(started)))
        ::_exit(1);
    SandboxLimits limits;
    limits.addressSpaceBytes = kReadingAddressSpace;
    limits.cpuSeconds = kReadingCpuSeconds;
    // Only a drawing links pictures, from its own folder and below; any
    // other file is read alone.
    limits.ownFolder = linksWithinItsFolder(file, request.path) ? folderOf(request.path) : QByteArray();
    limits.ownModules = modulesFolder();
    if (!EnterSandbox(limits))
        ::_exit(2);

    if (testsAllowed())
        failForTest(file);

    PictureSource source = PictureSource::fromDescriptor(file, request.path);
    if (request.kind == RequestKind::IconFamily) {
        PictureStatus status = PictureStatus::NotAPicture;
        const std::optional<icns::IconFamily> family = IconFamilyFromMedia(std::move(source), &status);
        const QByteArray bytes = family ? family->toIcns() : QByteArray();
        if (bytes.isEmpty())
            finish(reply, status == PictureStatus::Decoded ? PictureStatus::Damaged : status);
        else
            finish(reply, PictureStatus::Decoded, {bytes});
    } else if (request.kind == RequestKind::IconSizes) {
        PictureStatus status = PictureStatus::NotAPicture;
        const std::optional<QMap<int, QImage>> squares =
            RenderMediaIconSizes(std::move(source), request.edges, &status);
        if (!squares) {
            finish(reply, status);
        } else {
            QList<QByteArrayView> pieces;
            QList<int> edges;
            for (auto it = squares->begin(); it != squares->end(); ++it) {
                const QImage& square = it.value();
                if (square.format() != QImage::Format_ARGB32_Premultiplied || square.width() != it.key()
                    || square.height() != it.key() || square.bytesPerLine() != it.key() * 4)
                    continue;
                pieces.append(QByteArrayView(square.constBits(), square.sizeInBytes()));
                edges.append(it.key());
            }
            finish(reply, PictureStatus::Decoded, pieces, edges);
        }
    } else if (request.kind == RequestKind::Picture || request.kind == RequestKind::AnyPicture) {
        PictureResult result = request.kind == RequestKind::AnyPicture
                                   ? ReadAnyPicture(std::move(source), request.edges.value(0))
                                   : ReadPicture(source, FitWithin(request.edges.value(0)), PictureFit::Exact);
        QImage& picture = result.decoded.picture;
        if (result.ok() && picture.format() != QImage::Format_ARGB32_Premultiplied)
            picture = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (!result.ok() || picture.isNull() || picture.bytesPerLine() != picture.width() * 4)
            finish(reply, result.ok() ? PictureStatus::Damaged : result.status);
        else
            finish(reply, PictureStatus::Decoded, {QByteArrayView(picture.constBits(), picture.sizeInBytes())}, {},
                   picture.size(), result.decoded.natural);
    }
    ::_exit(0);
}

// The libraries a kind of file needs are loaded here, in the worker, the
// first time a file of that kind comes, by its first bytes: every child
// after it finds them loaded, and a command that reads only photos never
// waits for the movie, drawing and HEIF libraries.
void loadLibrariesFor(int file, const QByteArray& path)
{
    QByteArray head(kSniffBytes, Qt::Uninitialized);
    const ssize_t n = ::pread(file, head.data(), size_t(head.size()), 0);
    if (n <= 0)
        return;
    head.truncate(qsizetype(n));
    const Sniffed sniffed = SniffContent(head, path);
    switch (sniffed.content) {
    case Content::Drawing: PreloadDrawingLibraries(); break;
    case Content::Picture:
        PreloadColourLibrary();
        if (IsHeifFormat(sniffed.format))
            PreloadHeifLibrary();
        else if (sniffed.format == "tiff")
            PreloadTiffLibrary();
        break;
    case Content::Unknown: movie::Load(); break;
    case Content::IconFamily: break;
    }
}

} // namespace

int ServeRequests(int control)
{
    // The worker goes with the program, whatever way the program goes.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() == 1)
        return 0;
    ShareLibraryComplaints();
    for (;;) {
        const std::optional<Received> received = ReceiveMessage(control);
        if (!received)
            return 0;
        const std::optional<Request> request =
            ParseRequest(received->message.constData(), size_t(received->message.size()));
        if (!request || received->fds.size() != 2) {
            for (int fd : received->fds)
                ::close(fd);
            continue;
        }
        const int file = received->fds[0];
        const int reply = received->fds[1];
        loadLibrariesFor(file, request->path);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(control);
            serveChild(*request, file, reply);
        }
        ::close(file);
        Reply ended;
        ended.kind = ReplyKind::Ended;
        if (child < 0) {
            ended.waitStatus = -1;
        } else {
            int status = 0;
            while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
            ended.waitStatus = status;
        }
        SendMessage(reply, EncodeReply(ended));
        ::close(reply);
    }
}

} // namespace pictomat::worker
