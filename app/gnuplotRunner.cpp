#include "app/gnuplotRunner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <sstream>

#include "output/scriptText.h"

namespace kalvex {

namespace {

bool isExecutable(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string executableFolder() {
    std::string buffer(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || std::size_t(length) >= buffer.size()) return "";
    buffer.resize(std::size_t(length));
    const std::size_t slash = buffer.rfind('/');
    return slash == std::string::npos ? "" : buffer.substr(0, slash);
}

// gnuplot shipped beside the executable wins over the one on the PATH.
std::string findGnuplot() {
    const std::string folder = executableFolder();
    if (!folder.empty() && isExecutable(folder + "/gnuplot/bin/gnuplot")) return folder + "/gnuplot/bin/gnuplot";
    const char* searchPath = std::getenv("PATH");
    std::istringstream folders(searchPath ? searchPath : "/usr/local/bin:/usr/bin:/bin");
    std::string entry;
    while (std::getline(folders, entry, ':')) {
        const std::string candidate = (entry.empty() ? std::string(".") : entry) + "/gnuplot";
        if (isExecutable(candidate)) return candidate;
    }
    return "";
}

// Owns the file actions of a spawn.
class spawnActions {
public:
    spawnActions() { ::posix_spawn_file_actions_init(&actions); }
    ~spawnActions() { ::posix_spawn_file_actions_destroy(&actions); }
    spawnActions(const spawnActions&) = delete;
    spawnActions& operator=(const spawnActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions; }

private:
    posix_spawn_file_actions_t actions{};
};

void writeAll(int descriptor, const std::string& text) {
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t count = ::write(descriptor, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return;  // gnuplot went away; its images are what they are
        written += std::size_t(count);
    }
}

std::string outputLine(const std::string& imagePath) {
    std::ostringstream line;
    writeOutputLine(line, imagePath);
    return line.str();
}

// The script's text with its output line turned to the image's temporary
// path, then a line that closes the image.
void sendScript(int descriptor, const plotJob& job) {
    std::ifstream script(job.textPath, std::ios::binary);
    const std::string named = outputLine(job.imagePath);
    const std::string redirected = outputLine(job.imageWrittenTo);
    bool turned = false;
    std::string chunk;
    for (std::string line; std::getline(script, line);) {
        line += '\n';
        if (!turned && line == named) {
            line = redirected;
            turned = true;
        }
        chunk += line;
        if (chunk.size() >= 65536) {
            writeAll(descriptor, chunk);
            chunk.clear();
        }
    }
    writeAll(descriptor, chunk + "unset output\n");
}

}  // namespace

bool runGnuplot(const std::vector<plotJob>& jobs, std::ostream& console) {
    const std::string program = findGnuplot();
    int pipeEnds[2];
    if (program.empty() || ::pipe(pipeEnds) != 0) {
        console << "Warning: gnuplot could not be started, no PNG images were made" << std::endl;
        return false;
    }
    // gnuplot talks on its own streams; kalvex keeps standard error clean.
    spawnActions actions;
    ::posix_spawn_file_actions_adddup2(actions.get(), pipeEnds[0], 0);
    ::posix_spawn_file_actions_addclose(actions.get(), pipeEnds[0]);
    ::posix_spawn_file_actions_addclose(actions.get(), pipeEnds[1]);
    ::posix_spawn_file_actions_addopen(actions.get(), 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(actions.get(), 2, "/dev/null", O_WRONLY, 0);
    std::string programArgument = program;
    char* arguments[] = {programArgument.data(), nullptr};
    pid_t child = 0;
    const int started = ::posix_spawn(&child, program.c_str(), actions.get(), nullptr, arguments, environ);
    ::close(pipeEnds[0]);
    if (started != 0) {
        ::close(pipeEnds[1]);
        console << "Warning: gnuplot could not be started, no PNG images were made" << std::endl;
        return false;
    }
    // A gnuplot that dies early must not take kalvex with it.
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    for (const plotJob& job : jobs) sendScript(pipeEnds[1], job);
    ::close(pipeEnds[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    ::sigaction(SIGPIPE, &previous, nullptr);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    console << "Warning: gnuplot failed, no PNG images were made" << std::endl;
    return false;
}

}  // namespace kalvex
