#include "worker/ReadingWorker.h"

#include "files/FileIO.h"
#include "files/FileRef.h"
#include "files/LibraryNames.h"
#include "files/Paths.h"
#include "files/UniqueFd.h"
#include "worker/Log.h"
#include "worker/WorkerProtocol.h"
#include "worker/WorkerServer.h"

#include <QElapsedTimer>

#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

extern char** environ;

namespace pictomat {

namespace worker {

namespace {

enum class Ending { Answered, Stopped, OutOfMemory, Crashed, Unavailable };

// The tests set a deadline of their own, which every read then keeps.
std::chrono::milliseconds readingDeadline(std::chrono::milliseconds usual = kReadingDeadline)
{
    static const std::chrono::milliseconds forTests = [] {
        const QByteArray tests = qgetenv(kTestEnvironment);
        const qint64 asked = qEnvironmentVariableIntValue("PICTOMAT_READER_DEADLINE_MS");
        return std::chrono::milliseconds(tests == "1" && asked > 0 ? asked : 0);
    }();
    return forTests.count() > 0 ? forTests : usual;
}

QByteArray workerProgram()
{
    const QByteArray folder = ProgramFolder();
    return folder.isEmpty() ? QByteArray() : folder + "/../libexec/pictomat-reader";
}

// The warm worker: started with the first request, started again after it
// is gone. One request at a time; each is read by a child of its own.
class Worker {
public:
    // The worker ends by itself once its socket closes; it is not waited
    // for, so that what its children used is not counted as the program's.
    ~Worker() = default;

    struct Answer {
        Ending ending = Ending::Unavailable;
        Reply finished;
        UniqueFd memfd;
        int signal = 0;
    };

    // A process that runs no other thread yet (a command line before its
    // application starts) forks its worker rather than starting the
    // worker's program: a fork has every library loaded already and is
    // ready at once, where starting the program again is most of what a
    // one-file command pays for the worker.
    void warm()
    {
        const std::lock_guard lock(m_mutex);
        if (!m_control.valid() && !(onlyThread() && forkWorker()))
            start();
    }

    Answer ask(const Request& request, int file, std::chrono::milliseconds deadline)
    {
        const std::lock_guard lock(m_mutex);
        Answer answer;
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (!m_control.valid() && !start())
                return answer;
            int pair[2];
            if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0)
                return answer;
            UniqueFd mine(pair[0]);
            UniqueFd theirs(pair[1]);
            const int fds[2] = {file, theirs.get()};
            if (!SendMessage(m_control.get(), EncodeRequest(request), fds, 2)) {
                stop(); // the worker is gone: a fresh one takes the request
                continue;
            }
            theirs = UniqueFd();
            return await(mine.get(), deadline);
        }
        return answer;
    }

private:
    bool start()
    {
        const QByteArray program = workerProgram();
        int pair[2];
        if (program.isEmpty() || ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0)
            return false;
        UniqueFd mine(pair[0]);
        UniqueFd theirs(pair[1]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, theirs.get(), 3);
        char* const argv[] = {const_cast<char*>("pictomat-reader"), nullptr};
        // Each reading child allocates its pictures afresh: with malloc on
        // transparent huge pages that costs a few hundred page faults instead
        // of thousands, most of what a fresh process pays over a warm one.
        QList<QByteArray> variables;
        QByteArray tunables = qgetenv("GLIBC_TUNABLES");
        for (char** variable = environ; *variable; ++variable) {
            if (std::strncmp(*variable, "GLIBC_TUNABLES=", 15) != 0)
                variables.append(QByteArray(*variable));
        }
        variables.append("GLIBC_TUNABLES=" + (tunables.isEmpty() ? QByteArray() : tunables + ':')
                         + "glibc.malloc.hugetlb=1");
        std::vector<char*> envp;
        for (QByteArray& variable : variables)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        pid_t pid = 0;
        const int failed = ::posix_spawn(&pid, program.constData(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (failed != 0) {
            qCWarning(lcWorker).noquote()
                << QStringLiteral("Cannot start the reading worker %1: %2")
                       .arg(QString::fromLocal8Bit(program), QString::fromLocal8Bit(std::strerror(failed)));
            return false;
        }
        m_pid = pid;
        m_control = std::move(mine);
        return true;
    }

    static bool onlyThread()
    {
        DIR* tasks = ::opendir("/proc/self/task");
        if (!tasks)
            return false;
        int threads = 0;
        while (const dirent* entry = ::readdir(tasks))
            threads += entry->d_name[0] != '.';
        ::closedir(tasks);
        return threads == 1;
    }

    bool forkWorker()
    {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0)
            return false;
        UniqueFd mine(pair[0]);
        UniqueFd theirs(pair[1]);
        // What is buffered would otherwise be written twice, once by each.
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        if (pid < 0)
            return false;
        if (pid == 0) {
            mine = UniqueFd();
            ::_exit(ServeRequests(theirs.get()));
        }
        m_pid = pid;
        m_control = std::move(mine);
        return true;
    }

    void stop()
    {
        m_control = UniqueFd();
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
            }
            m_pid = 0;
        }
    }

    Answer await(int socket, std::chrono::milliseconds deadline)
    {
        Answer answer;
        QElapsedTimer clock;
        clock.start();
        pid_t child = 0;
        bool stopped = false, outOfMemory = false, ended = false;
        while (!ended) {
            const qint64 left = deadline.count() - clock.elapsed();
            if (left <= 0 && !stopped) {
                // Past the deadline: the child is killed; the worker reports its end.
                if (child > 0)
                    ::kill(child, SIGKILL);
                stopped = true;
            }
            pollfd wait{socket, POLLIN, 0};
            const int ready = ::poll(&wait, 1, stopped ? 2000 : int(std::min<qint64>(left, 60'000)));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready == 0) {
                if (stopped)
                    break; // the worker itself does not answer: a fresh one next time
                continue;
            }
            std::optional<Received> received = ReceiveMessage(socket);
            if (!received)
                break;
            std::optional<Reply> reply = ParseReply(received->message.constData(), size_t(received->message.size()));
            if (!reply) {
                for (int fd : received->fds)
                    ::close(fd);
                continue;
            }
            switch (reply->kind) {
            case ReplyKind::Started: child = reply->pid; break;
            case ReplyKind::Finished:
                answer.finished = *reply;
                answer.ending = Ending::Answered;
                if (!received->fds.isEmpty())
                    answer.memfd = UniqueFd(received->fds.takeFirst());
                // The answer is whole: the child's exit is not waited for.
                ended = true;
                break;
            case ReplyKind::OutOfMemory: outOfMemory = true; break;
            case ReplyKind::Ended:
                ended = true;
                if (WIFSIGNALED(reply->waitStatus))
                    answer.signal = WTERMSIG(reply->waitStatus);
                break;
            }
            for (int fd : received->fds)
                ::close(fd);
        }
        const double seconds = double(deadline.count()) / 1000.0;
        QString cause;
        if (!ended) {
            stop();
            answer.ending = Ending::Stopped;
            cause = QStringLiteral("the reading worker did not answer within %1 s and was replaced").arg(seconds);
        } else if (stopped) {
            answer.ending = Ending::Stopped;
            cause = QStringLiteral("the reading worker was stopped after %1 s").arg(seconds);
        } else if (outOfMemory) {
            answer.ending = Ending::OutOfMemory;
            cause = QStringLiteral("the reading worker ran out of memory");
        } else if (answer.ending != Ending::Answered && answer.signal == SIGXCPU) {
            answer.ending = Ending::Stopped;
            cause = QStringLiteral("the reading worker was stopped when its processor time ran out");
        } else if (answer.ending != Ending::Answered) {
            answer.ending = Ending::Crashed;
            cause = answer.signal ? QStringLiteral("the reading worker crashed (signal %1)").arg(answer.signal)
                                  : QStringLiteral("the reading worker ended without an answer");
        }
        if (!cause.isEmpty())
            qCWarning(lcWorker).noquote() << QStringLiteral("Pictomat: %1").arg(cause);
        if (answer.ending != Ending::Answered)
            answer.memfd = UniqueFd();
        return answer;
    }

    std::mutex m_mutex;
    UniqueFd m_control;
    pid_t m_pid = 0;
};

Worker& theWorker()
{
    static Worker worker;
    return worker;
}

// The memfd's bytes, mapped read only; empty when it is not sealed against
// shrinking (the child could cut the mapping short under us) or holds less
// than the answer says.
class Mapped {
public:
    Mapped(int fd, uint64_t bytes)
    {
        struct stat st { };
        const int seals = ::fcntl(fd, F_GET_SEALS);
        if (seals < 0 || !(seals & F_SEAL_SHRINK) || ::fstat(fd, &st) != 0 || uint64_t(st.st_size) < bytes
            || bytes == 0)
            return;
        void* at = ::mmap(nullptr, size_t(bytes), PROT_READ, MAP_PRIVATE, fd, 0);
        if (at == MAP_FAILED)
            return;
        m_data = static_cast<const char*>(at);
        m_size = size_t(bytes);
    }
    ~Mapped()
    {
        if (m_data)
            ::munmap(const_cast<char*>(m_data), m_size);
    }
    Mapped(const Mapped&) = delete;
    Mapped& operator=(const Mapped&) = delete;
    const char* data() const { return m_data; }
    size_t size() const { return m_size; }

private:
    const char* m_data = nullptr;
    size_t m_size = 0;
};

std::optional<Worker::Answer> askAbout(const QByteArray& path, Request request, UniqueFd* file,
                                       std::chrono::milliseconds deadline = kReadingDeadline)
{
    *file = OpenDescriptorForReading(path);
    if (!file->valid())
        return std::nullopt;
    request.path = path.size() <= kMaxPathBytes ? path : QByteArray();
    return theWorker().ask(request, file->get(), readingDeadline(deadline));
}

// What a reader that did not answer stands for, for the command's failure.
PictureStatus statusOf(const Worker::Answer& answer)
{
    switch (answer.ending) {
    case Ending::Answered: break;
    case Ending::Stopped: return PictureStatus::TooCostly;
    case Ending::OutOfMemory: return PictureStatus::TooLarge;
    case Ending::Crashed:
    case Ending::Unavailable: return PictureStatus::Damaged;
    }
    const uint8_t told = answer.finished.status;
    return told > uint8_t(PictureStatus::TooCostly) ? PictureStatus::Damaged : PictureStatus(told);
}

PictureResult pictureOf(const Worker::Answer& answer)
{
    PictureResult result;
    result.status = statusOf(answer);
    if (result.status != PictureStatus::Decoded)
        return result;
    const QSize size = answer.finished.size;
    const uint64_t bytes = uint64_t(size.width()) * uint64_t(size.height()) * 4;
    result.status = PictureStatus::Damaged;
    if (size.isEmpty() || size.width() > 65536 || size.height() > 65536 || bytes != answer.finished.bytes
        || !answer.memfd.valid())
        return result;
    const Mapped pixels(answer.memfd.get(), bytes);
    if (!pixels.data())
        return result;
    QImage picture(size, QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull()) {
        result.status = PictureStatus::TooLarge;
        return result;
    }
    std::memcpy(picture.bits(), pixels.data(), size_t(bytes));
    result.status = PictureStatus::Decoded;
    result.decoded.picture = std::move(picture);
    result.decoded.natural = answer.finished.natural.isEmpty() ? size : answer.finished.natural;
    return result;
}

Request pictureRequest(int maxEdge, RequestKind kind = RequestKind::Picture)
{
    Request request;
    request.kind = kind;
    request.edges = {std::clamp(maxEdge, 1, 4096)};
    return request;
}

} // namespace

} // namespace worker

using namespace worker;

void StartReadingWorker()
{
    theWorker().warm();
}

std::optional<icns::IconFamily> ReadIconFamilyFromMedia(const QByteArray& path, PictureStatus* status)
{
    auto fail = [status](PictureStatus why) -> std::optional<icns::IconFamily> {
        if (status)
            *status = why == PictureStatus::Decoded ? PictureStatus::Damaged : why;
        return std::nullopt;
    };
    Request request;
    request.kind = RequestKind::IconFamily;
    UniqueFd file;
    const std::optional<Worker::Answer> answer = askAbout(path, request, &file);
    if (!answer)
        return fail(PictureStatus::NotAPicture);
    const PictureStatus told = statusOf(*answer);
    if (told != PictureStatus::Decoded || !answer->memfd.valid() || answer->finished.bytes > icns::kMaxIcnsFileSize)
        return fail(told);
    const Mapped bytes(answer->memfd.get(), answer->finished.bytes);
    if (!bytes.data())
        return fail(PictureStatus::Damaged);
    std::optional<icns::IconFamily> family =
        icns::IconFamily::fromIcns(QByteArray(bytes.data(), qsizetype(bytes.size())));
    if (!family || family->isEmpty())
        return fail(PictureStatus::Damaged);
    if (status)
        *status = PictureStatus::Decoded;
    return family;
}

PictureResult ReadPictureInWorker(const FileRef& file, int maxEdge, std::chrono::milliseconds deadline)
{
    UniqueFd opened;
    const std::optional<Worker::Answer> answer = askAbout(file.path(), pictureRequest(maxEdge), &opened, deadline);
    if (!answer)
        return PictureResult{};
    return pictureOf(*answer);
}

PictureResult DecodePictureBytesInWorker(const QByteArray& bytes, int maxEdge)
{
    const UniqueFd memfd = SealedMemfd({bytes});
    if (!memfd.valid())
        return PictureResult{};
    return pictureOf(theWorker().ask(pictureRequest(maxEdge, RequestKind::AnyPicture), memfd.get(), readingDeadline()));
}

PictureResult ReadAnyPictureInWorker(const FileRef& file, int maxEdge)
{
    UniqueFd opened;
    const std::optional<Worker::Answer> answer =
        askAbout(file.path(), pictureRequest(maxEdge, RequestKind::AnyPicture), &opened);
    if (!answer)
        return PictureResult{};
    return pictureOf(*answer);
}

QImage ReadImageInWorker(const FileRef& file, int maxEdge, PictureStatus* status)
{
    PictureResult result = ReadPictureInWorker(file, maxEdge);
    if (status)
        *status = result.status;
    return std::move(result.decoded.picture);
}

namespace {

std::optional<QMap<int, QImage>> iconSizesOf(const QList<int>& edges, PictureStatus* status,
                                             const std::function<std::optional<Worker::Answer>(const Request&)>& ask)
{
    auto fail = [status](PictureStatus why) -> std::optional<QMap<int, QImage>> {
        if (status)
            *status = why;
        return std::nullopt;
    };
    Request request;
    request.kind = RequestKind::IconSizes;
    for (int edge : edges)
        if (edge > 0 && edge <= 4096 && !request.edges.contains(edge))
            request.edges.append(edge);
    if (request.edges.isEmpty() || request.edges.size() > kMaxEdges)
        return fail(PictureStatus::NotAPicture);
    const std::optional<Worker::Answer> answer = ask(request);
    if (!answer)
        return fail(PictureStatus::NotAPicture);
    if (const PictureStatus told = statusOf(*answer); told != PictureStatus::Decoded)
        return fail(told);
    uint64_t expected = 0;
    for (int edge : answer->finished.edges) {
        if (!request.edges.contains(edge))
            return fail(PictureStatus::Damaged);
        expected += uint64_t(edge) * uint64_t(edge) * 4;
    }
    if (!answer->memfd.valid() || expected != answer->finished.bytes)
        return fail(PictureStatus::Damaged);
    const Mapped pixels(answer->memfd.get(), expected);
    if (!pixels.data())
        return fail(PictureStatus::Damaged);
    QMap<int, QImage> squares;
    size_t at = 0;
    for (int edge : answer->finished.edges) {
        QImage square(edge, edge, QImage::Format_ARGB32_Premultiplied);
        if (square.isNull())
            return fail(PictureStatus::TooLarge);
        std::memcpy(square.bits(), pixels.data() + at, size_t(edge) * size_t(edge) * 4);
        at += size_t(edge) * size_t(edge) * 4;
        squares.insert(edge, std::move(square));
    }
    if (status)
        *status = PictureStatus::Decoded;
    return squares;
}

} // namespace

std::optional<QMap<int, QImage>> ReadMediaIconSizes(const QByteArray& path, const QList<int>& edges,
                                                    PictureStatus* status)
{
    return iconSizesOf(edges, status, [&path](const Request& request) {
        UniqueFd file;
        return askAbout(path, request, &file);
    });
}

std::optional<QMap<int, QImage>> ReadIconFamilySizes(const icns::IconFamily& family, const QList<int>& edges,
                                                     PictureStatus* status)
{
    const UniqueFd memfd = SealedMemfd({family.toIcns()});
    return iconSizesOf(edges, status, [&memfd](const Request& request) -> std::optional<Worker::Answer> {
        if (!memfd.valid())
            return std::nullopt;
        return theWorker().ask(request, memfd.get(), readingDeadline());
    });
}

} // namespace pictomat
