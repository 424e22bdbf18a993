// A stand-in for a source port, for launch tests only (built by the test suite, never
// installed). Started as <path>, it reads "<path>.conf" (lines "exit=<code>" and
// "sleep_ms=<milliseconds>"), writes "<path>.report" at once (JSON: its process id, argument
// list, working folder and the contents of "netlist.txt" and "kesh.txt" in that folder, or
// null when missing), then sleeps, writes "<path>.done" and exits with the code.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", u);
            out += buffer;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string fileOrNull(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "null";
    std::ostringstream contents;
    contents << in.rdbuf();
    return jsonString(contents.str());
}

void writeAtomically(const std::string& path, const std::string& contents)
{
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << contents;
    }
    std::rename(temporary.c_str(), path.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    const std::string self = argv[0];
    int exitCode = 0;
    long sleepMs = 0;
    std::ifstream conf(self + ".conf");
    for (std::string line; std::getline(conf, line);) {
        if (line.rfind("exit=", 0) == 0)
            exitCode = std::stoi(line.substr(5));
        else if (line.rfind("sleep_ms=", 0) == 0)
            sleepMs = std::stol(line.substr(9));
    }

    std::vector<char> cwd(4096);
    if (!::getcwd(cwd.data(), cwd.size()))
        cwd[0] = '\0';

    std::string report = "{\"pid\": " + std::to_string(::getpid()) + ", \"args\": [";
    for (int i = 1; i < argc; ++i)
        report += (i > 1 ? ", " : "") + jsonString(argv[i]);
    report += "], \"cwd\": " + jsonString(cwd.data());
    report += ", \"netlist\": " + fileOrNull("netlist.txt");
    report += ", \"kesh\": " + fileOrNull("kesh.txt") + "}\n";
    writeAtomically(self + ".report", report);

    std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
    writeAtomically(self + ".done", "done\n");
    return exitCode;
}
