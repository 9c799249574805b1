// Stands in for up to eight pressure instruments on one serial line: a pseudo-terminal whose
// slave side the program opens like a serial port.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <optional>
#include <poll.h>
#include <random>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr char EOT = 0x04, ENQ = 0x05, STX = 0x02, ETX = 0x03, ACK = 0x06;

using Clock = std::chrono::steady_clock;

struct Options {
    std::vector<int> addresses{1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<std::pair<char, char>> codes{{'2', '3'}}; // pressure, temperature per address
    int latencyMs = 5;
    int dropPercent = 0;
    int corruptPercent = 0;
    int garbagePercent = 0;
    int noisePercent = 0;
    unsigned seed = 0;
    bool seeded = false;
    std::string link;
    std::string values;
};

// What the values file makes of one instrument while the program runs.
struct Override {
    std::optional<double> pressure;
    std::optional<double> temperature;
    bool silent = false;
};

struct Instrument {
    int address = 0;
    char pressureCode = '2';
    char temperatureCode = '3';
    double pressureBase = 0;
    double temperatureBase = 0;
    double phase = 0;
    // Parameters '1' (pressure full scale) and '2' (main relay output): sign, magnitude, code.
    struct Param {
        char sign = '+';
        int magnitude = 0;
        char code = '1';
    } params[2];
};

struct Pending {
    Clock::time_point due;
    std::string bytes;
};

int g_signalPipe[2] = {-1, -1};

void onSignal(int signal) {
    const char c = signal == SIGUSR1 ? 'u' : 0;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// With no message the usage was asked for: it goes to stdout and the exit is clean.
[[noreturn]] void usage(const char* message) {
    std::FILE* out = message ? stderr : stdout;
    if (message)
        std::fprintf(out, "presmon-sim: %s\n", message);
    std::fprintf(out,
                 "usage: presmon-sim [--link PATH] [--addresses 1,2,..] [--codes PT[,PT..]]\n"
                 "       [--latency MS] [--drop %%] [--corrupt %%] [--garbage %%] [--noise %%]\n"
                 "       [--seed N] [--values FILE] [--help]\n"
                 "  --codes: decimal codes '1'..'4' of pressure and temperature, one pair per\n"
                 "           address in --addresses order, or one pair for all\n"
                 "  --values: a file read again every second and on SIGUSR1, one line per\n"
                 "           setting, '#' starts a comment:\n"
                 "             ADDRESS pres VALUE   answer this pressure, in the panel's unit\n"
                 "             ADDRESS temp VALUE   answer this temperature\n"
                 "             ADDRESS silent       stop answering anything\n"
                 "           an address the file leaves out answers its usual wave; a missing\n"
                 "           file leaves them all to it\n");
    std::exit(message ? 2 : 0);
}

int toInt(const char* text, int low, int high, const char* what) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < low || value > high)
        usage((std::string("bad value for ") + what + ": " + text).c_str());
    return int(value);
}

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = text.find(',', start);
        parts.push_back(
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return parts;
}

Options parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h")
            usage(nullptr);
        if (i + 1 >= argc)
            usage(("missing value after " + arg).c_str());
        const char* value = argv[++i];
        if (arg == "--link") {
            o.link = value;
        } else if (arg == "--addresses") {
            o.addresses.clear();
            for (const std::string& part : split(value)) {
                const int a = toInt(part.c_str(), 1, 8, "--addresses");
                if (std::find(o.addresses.begin(), o.addresses.end(), a) == o.addresses.end())
                    o.addresses.push_back(a);
            }
        } else if (arg == "--codes") {
            o.codes.clear();
            for (const std::string& part : split(value)) {
                if (part.size() != 2 || part[0] < '1' || part[0] > '4' || part[1] < '1' ||
                    part[1] > '4')
                    usage(("bad code pair: " + part).c_str());
                o.codes.emplace_back(part[0], part[1]);
            }
        } else if (arg == "--latency") {
            o.latencyMs = toInt(value, 0, 60000, "--latency");
        } else if (arg == "--drop") {
            o.dropPercent = toInt(value, 0, 100, "--drop");
        } else if (arg == "--corrupt") {
            o.corruptPercent = toInt(value, 0, 100, "--corrupt");
        } else if (arg == "--garbage") {
            o.garbagePercent = toInt(value, 0, 100, "--garbage");
        } else if (arg == "--noise") {
            o.noisePercent = toInt(value, 0, 100, "--noise");
        } else if (arg == "--values") {
            o.values = value;
        } else if (arg == "--seed") {
            o.seed = unsigned(toInt(value, 0, 2147483647, "--seed"));
            o.seeded = true;
        } else {
            usage(("unknown option " + arg).c_str());
        }
    }
    if (o.codes.size() != 1 && o.codes.size() != o.addresses.size())
        usage("--codes needs one pair, or one pair per address");
    return o;
}

char blockCheck(const std::string& bytes, size_t from, size_t to) {
    char x = 0;
    for (size_t i = from; i < to; ++i)
        x ^= bytes[i];
    return x;
}

// Five characters: "01234" for positive values, "-0050" for negative ones.
std::string valueField(long raw) {
    raw = std::clamp(raw, -9999L, 99999L);
    char text[24];
    if (raw < 0)
        std::snprintf(text, sizeof text, "-%04ld", -raw);
    else
        std::snprintf(text, sizeof text, "%05ld", raw);
    return text;
}

int decimals(char code) {
    return '4' - code;
}

class Simulator {
  public:
    Simulator(const Options& options, int master)
        : m_options(options), m_master(master),
          m_random(options.seeded ? options.seed : unsigned(std::random_device{}())),
          m_start(Clock::now()) {
        for (size_t i = 0; i < options.addresses.size(); ++i) {
            Instrument instrument;
            instrument.address = options.addresses[i];
            const auto& codes = options.codes.size() == 1 ? options.codes[0] : options.codes[i];
            instrument.pressureCode = codes.first;
            instrument.temperatureCode = codes.second;
            instrument.pressureBase = 50.0 + 10.0 * instrument.address;
            instrument.temperatureBase = 20.0 + instrument.address;
            instrument.phase = instrument.address;
            instrument.params[0] = {'+', 50, '1'};
            instrument.params[1] = {'+', 100, '2'};
            m_instruments[instrument.address] = instrument;
        }
    }

    void received(const char* bytes, size_t size) {
        m_input.append(bytes, size);
        for (;;) {
            const size_t eot = m_input.find(EOT);
            if (eot == std::string::npos) {
                m_input.clear();
                return;
            }
            m_input.erase(0, eot);
            if (m_input.size() < 4)
                return;
            size_t need = m_input[3] == 'P' ? 6 : m_input[3] == STX ? 14 : 1;
            if (m_input.size() < need)
                return;
            const std::string frame = m_input.substr(0, need);
            if (need == 6 && handlePoll(frame))
                m_input.erase(0, 6);
            else if (need == 14 && handleWrite(frame))
                m_input.erase(0, 14);
            else
                m_input.erase(0, 1);
        }
    }

    // Milliseconds until the next answer or the next read of the values file is due, or -1
    // when nothing waits.
    int nextTimeout() const {
        int timeout = -1;
        const auto until = [](Clock::time_point due) {
            const auto wait =
                std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now());
            return std::max<int>(0, int(wait.count()) + 1);
        };
        if (!m_pending.empty())
            timeout = until(m_pending.front().due);
        if (!m_options.values.empty()) {
            const int reload = until(m_nextReload);
            timeout = timeout < 0 ? reload : std::min(timeout, reload);
        }
        return timeout;
    }

    // Reads the values file when a second has passed since the last read, or at once.
    void reloadValues(bool now) {
        if (m_options.values.empty() || (!now && Clock::now() < m_nextReload))
            return;
        m_nextReload = Clock::now() + std::chrono::seconds(1);
        std::map<int, Override> overrides;
        std::ifstream in(m_options.values);
        std::string line;
        int number = 0;
        while (std::getline(in, line)) {
            ++number;
            line = line.substr(0, line.find('#'));
            std::istringstream words(line);
            int address = 0;
            std::string what;
            if (!(words >> address))
                continue; // blank or comment only
            words >> what;
            double value = 0;
            const bool hasValue = bool(words >> value);
            Override& o = overrides[address];
            if (what == "silent")
                o.silent = true;
            else if (what == "pres" && hasValue)
                o.pressure = value;
            else if (what == "temp" && hasValue)
                o.temperature = value;
            else
                std::fprintf(stderr, "presmon-sim: %s:%d: not understood\n",
                             m_options.values.c_str(), number);
        }
        m_overrides = std::move(overrides);
    }

    void sendDue() {
        const auto now = Clock::now();
        while (!m_pending.empty() && m_pending.front().due <= now) {
            const std::string& bytes = m_pending.front().bytes;
            size_t done = 0;
            while (done < bytes.size()) {
                const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    break;
                done += size_t(n);
            }
            m_pending.pop_front();
        }
    }

  private:
    bool chance(int percent) {
        return percent > 0 && std::uniform_int_distribution<int>(0, 99)(m_random) < percent;
    }

    Instrument* instrumentFor(char digit) {
        const auto it = m_instruments.find(digit - '0');
        return it == m_instruments.end() ? nullptr : &it->second;
    }

    bool handlePoll(const std::string& f) {
        if (f[1] != '0' || f[5] != ENQ || f[4] < '1' || f[4] > '4')
            return false;
        Instrument* instrument = instrumentFor(f[2]);
        if (!instrument)
            return true; // another instrument's request: stay silent
        const auto over = m_overrides.find(instrument->address);
        const Override* fixed = over == m_overrides.end() ? nullptr : &over->second;
        if (fixed && fixed->silent)
            return true;
        std::string field;
        char code = '4';
        const char command = f[4];
        if (command == '1' || command == '2') {
            const Instrument::Param& p = instrument->params[command - '1'];
            char text[24];
            std::snprintf(text, sizeof text, "%c%04d", p.sign, p.magnitude);
            field = text;
            code = p.code;
        } else {
            const double t =
                std::chrono::duration<double>(Clock::now() - m_start).count() / 60.0 * 2 * M_PI;
            const bool pressure = command == '3';
            const double base = pressure ? instrument->pressureBase : instrument->temperatureBase;
            const double swing = pressure ? 0.1 * base : 2.0;
            double value = base + swing * std::sin(t + instrument->phase);
            value += std::normal_distribution<double>(0.0, 0.002 * base)(m_random);
            const std::optional<double> set =
                fixed ? (pressure ? fixed->pressure : fixed->temperature) : std::nullopt;
            if (set)
                value = *set;
            code = pressure ? instrument->pressureCode : instrument->temperatureCode;
            field = valueField(std::lround(value * std::pow(10.0, decimals(code))));
        }
        if (chance(m_options.garbagePercent))
            field = "1?" + field.substr(2);
        std::string reply;
        reply += STX;
        reply += '0';
        reply += f[2];
        reply += 'P';
        reply += command;
        reply += field;
        reply += code;
        reply += ETX;
        reply += blockCheck(reply, 1, 12);
        if (chance(m_options.corruptPercent))
            reply[12] = char(reply[12] ^ 0x5a);
        answer(reply);
        return true;
    }

    bool handleWrite(const std::string& f) {
        if (f[1] != '0' || f[4] != 'P' || f[12] != ETX || blockCheck(f, 1, 13) != f[13])
            return false;
        Instrument* instrument = instrumentFor(f[2]);
        if (!instrument)
            return true;
        const auto over = m_overrides.find(instrument->address);
        if (over != m_overrides.end() && over->second.silent)
            return true;
        const char command = f[5];
        const bool digits =
            std::all_of(f.begin() + 7, f.begin() + 11, [](char c) { return c >= '0' && c <= '9'; });
        if ((command != '1' && command != '2') || (f[6] != '+' && f[6] != '-') || !digits ||
            f[11] < '1' || f[11] > '4')
            return true; // well-formed for someone, but not a write this instrument takes
        Instrument::Param& p = instrument->params[command - '1'];
        p.sign = f[6];
        p.magnitude = std::stoi(f.substr(7, 4));
        p.code = f[11];
        answer(std::string(1, ACK));
        return true;
    }

    void answer(std::string bytes) {
        if (chance(m_options.dropPercent))
            return;
        if (chance(m_options.noisePercent)) {
            std::uniform_int_distribution<int> byte(0, 255);
            const int count = std::uniform_int_distribution<int>(1, 8)(m_random);
            std::string noise;
            for (int i = 0; i < count; ++i)
                noise += char(byte(m_random));
            bytes = noise + bytes;
        }
        m_pending.push_back({Clock::now() + std::chrono::milliseconds(m_options.latencyMs), bytes});
    }

    const Options& m_options;
    int m_master;
    std::mt19937 m_random;
    Clock::time_point m_start;
    std::map<int, Instrument> m_instruments;
    std::string m_input;
    std::deque<Pending> m_pending;
    std::map<int, Override> m_overrides;
    Clock::time_point m_nextReload = Clock::now();
};

void makeRaw(int fd) {
    termios tio{};
    if (::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
}

} // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::perror("presmon-sim: pseudo-terminal");
        return 1;
    }
    const char* slaveName = ::ptsname(master);
    if (!slaveName) {
        std::perror("presmon-sim: ptsname");
        return 1;
    }
    const std::string slavePath = slaveName;
    // Holding the slave open keeps the master readable while the program closes and reopens
    // the port; raw mode keeps the line from echoing or translating bytes.
    const int slave = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        std::perror("presmon-sim: open slave");
        return 1;
    }
    makeRaw(slave);
    makeRaw(master);

    if (::pipe(g_signalPipe) != 0) {
        std::perror("presmon-sim: pipe");
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
    ::sigaction(SIGUSR1, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    if (!options.link.empty()) {
        struct stat st {};
        if (::lstat(options.link.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            ::unlink(options.link.c_str());
        if (::symlink(slavePath.c_str(), options.link.c_str()) != 0) {
            std::perror("presmon-sim: symlink");
            return 1;
        }
    }

    std::printf("%s\n", slavePath.c_str());
    std::fflush(stdout);

    Simulator simulator(options, master);
    simulator.reloadValues(true);
    int status = 0;
    for (;;) {
        pollfd fds[2] = {{master, POLLIN, 0}, {g_signalPipe[0], POLLIN, 0}};
        const int ready = ::poll(fds, 2, simulator.nextTimeout());
        if (ready < 0 && errno != EINTR) {
            std::perror("presmon-sim: poll");
            status = 1;
            break;
        }
        if (ready > 0 && fds[1].revents) {
            char c = 0;
            if (::read(g_signalPipe[0], &c, 1) == 1 && c == 'u') {
                simulator.reloadValues(true);
                continue;
            }
            break;
        }
        simulator.reloadValues(false);
        if (ready > 0 && (fds[0].revents & POLLIN)) {
            char buffer[512];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0)
                simulator.received(buffer, size_t(n));
        }
        simulator.sendDue();
    }

    if (!options.link.empty())
        ::unlink(options.link.c_str());
    ::close(slave);
    ::close(master);
    return status;
}
