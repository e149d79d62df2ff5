#include "HerculesPeer.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace {

const std::string kScripts = CORVALEN_HERCULES_TOOLS_DIR;

// Runs a shell command line and gives its output (stdout and stderr) and
// exit status.
int Run(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    return pclose(pipe);
}

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

} // namespace

bool THerculesPeer::Installed() {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':'))
        if (!dir.empty() && access((dir + "/hercules").c_str(), X_OK) == 0) return true;
    return false;
}

THerculesPeer::THerculesPeer() : runDir_(dir_.file("run")) {
    const std::string start = kScripts + "/start_hercules.sh";
    if (!std::filesystem::exists(start)) throw std::runtime_error("no start script at " + start);
    // The echo program makes the host answer every attention key with a form.
    const std::string env =
        "HERC_DIR=" + Quoted(runDir_) + " HERC_LOGO=fixed HERC_ECHO=1 HERC_NDEV=4 ";
    std::string output;
    const int status = Run(env + Quoted(start), output);
    running_ = true;
    std::smatch m;
    if (status != 0 || !std::regex_search(output, m, std::regex("PORT=([0-9]+) PID=([0-9]+)"))) {
        // No destructor runs for a constructor that throws: whatever the
        // script left running is stopped here.
        Stop();
        throw std::runtime_error("hercules did not start (status " + std::to_string(status) +
                                 "):\n" + output);
    }
    port_ = static_cast<uint16_t>(std::stoi(m[1]));
}

THerculesPeer::~THerculesPeer() {
    Stop();
}

void THerculesPeer::Stop() {
    if (!running_) return;
    running_ = false;
    // The stop script acts on the pid recorded in the run folder only.
    std::string output;
    Run("HERC_DIR=" + Quoted(runDir_) + " " + Quoted(kScripts + "/stop_hercules.sh"), output);
}

std::string THerculesPeer::LogTail() const {
    std::ifstream in(runDir_ + "/hercules.log");
    std::string line, tail;
    std::vector<std::string> lines;
    while (std::getline(in, line))
        lines.push_back(line);
    for (size_t i = lines.size() > 30 ? lines.size() - 30 : 0; i < lines.size(); ++i)
        tail += lines[i] + "\n";
    return tail;
}
