// Load generator for chat servers: many clients on one event loop.
//
//   vantrell-loadgen --mode hold   --port P --clients 10000 --server-pid PID
//       registers that many lobby clients on vantrell-server, checks that every one of them
//       is still served, and reports the server's resident memory per client.
//   vantrell-loadgen --mode fanout --port P --clients 1000 [--protocol irc]
//       registers the clients (IRC: joins one channel), then measures chat fan-out: first
//       one line at a time (idle latency), then with a window of lines in flight (rate and
//       loaded latency). Latency runs from the send to the last delivery of that line.
//
//   vantrell-loadgen --mode poll --port HTTP_PORT [--rate 100]
//       fetches /status.json that many times a second, each on a new connection, until it
//       is stopped with SIGTERM or SIGINT; then prints how many answers were complete.
//
//   vantrell-loadgen --mode hammer --port HTTP_PORT [--clients 64]
//       that many kept-alive connections ask for / and /status.json in turn, each as soon as
//       its last answer is in, until SIGTERM or SIGINT; then prints the answers counted.
//
//   --messages 0 with --mode fanout measures the idle latency only.
//
// Results are printed as key=value lines for bench/server-bench.
#include <algorithm>
#include <array>
#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace asio = boost::asio;
using asio::ip::tcp;

struct Settings
{
    std::string mode = "fanout";
    std::string protocol = "vantrell";
    std::string host = "127.0.0.1";
    unsigned short port = 4444;
    std::size_t clients = 1000;
    std::size_t senders = 10;
    std::size_t window = 32;
    std::size_t messages = 3000;
    std::size_t latencySamples = 300;
    std::size_t connectParallel = 200;
    int serverPid = 0;
    double timeoutSeconds = 300;
    std::size_t rate = 100;
};

long residentKiB(int pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

// CPU time (user + system) a process has used so far, in seconds.
double cpuSeconds(int pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    // Fields after the command name: state is field 3, utime 14 and stime 15.
    std::vector<std::string> fields;
    std::size_t pos = close + 2;
    while (pos < text.size()) {
        const auto space = text.find(' ', pos);
        fields.push_back(text.substr(pos, space - pos));
        if (space == std::string::npos)
            break;
        pos = space + 1;
    }
    if (fields.size() < 13)
        return -1;
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    return (std::stod(fields[11]) + std::stod(fields[12])) / ticks;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

class LoadGenerator;

struct Client
{
    Client(asio::io_context& io, std::size_t i) : socket(io), index(i) {}
    tcp::socket socket;
    std::size_t index;
    std::string partial;
    std::string pendingOut;
    bool waitingWrite = false;
    bool registered = false;
    bool joined = false;
    bool alive = false;
};

class LoadGenerator
{
public:
    LoadGenerator(asio::io_context& io, Settings settings)
        : m_io(io), m_s(std::move(settings)), m_readBuffer(256 * 1024), m_deadline(io)
    {
        m_irc = m_s.protocol == "irc";
        // A vantrell line comes back to its sender too; IRC does not echo it.
        m_expected = m_irc ? m_s.clients - 1 : m_s.clients;
    }

    int run()
    {
        m_endpoint = tcp::endpoint(asio::ip::make_address(m_s.host), m_s.port);
        if (m_s.serverPid > 0)
            m_rssBefore = residentKiB(m_s.serverPid);
        m_start = Clock::now();
        for (std::size_t i = 0; i < m_s.clients; ++i)
            m_clients.push_back(std::make_unique<Client>(m_io, i));
        for (std::size_t i = 0; i < std::min(m_s.connectParallel, m_s.clients); ++i)
            connectNext();
        m_deadline.expires_after(std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(m_s.timeoutSeconds)));
        m_deadline.async_wait([this](const boost::system::error_code& e) {
            if (!e)
                fail("timed out in phase " + m_phase);
        });
        m_io.run();
        return m_exitCode;
    }

private:
    void fail(const std::string& why)
    {
        std::printf("error=%s\nregistered=%zu\n", why.c_str(), m_registered);
        std::fflush(stdout);
        m_exitCode = 1;
        m_io.stop();
    }

    void connectNext()
    {
        if (m_nextConnect >= m_clients.size())
            return;
        Client& c = *m_clients[m_nextConnect++];
        c.socket.async_connect(m_endpoint, [this, &c](const boost::system::error_code& e) {
            if (e) {
                fail("connect " + std::to_string(c.index) + ": " + e.message());
                return;
            }
            c.socket.non_blocking(true);
            c.socket.set_option(tcp::no_delay(true));
            if (m_irc)
                send(c, "NICK b" + std::to_string(c.index) + "\r\nUSER b" +
                            std::to_string(c.index) + " 0 * :bench\r\n");
            else
                send(c, "ClientVersionCheck~Vantrex 3829\r\nAddNickName,b" +
                            std::to_string(c.index) + ",BENCH\r\n");
            waitRead(c);
        });
    }

    void send(Client& c, std::string_view bytes)
    {
        if (c.waitingWrite) {
            c.pendingOut.append(bytes);
            return;
        }
        boost::system::error_code e;
        const std::size_t n = c.socket.write_some(asio::buffer(bytes.data(), bytes.size()), e);
        if (e && e != asio::error::would_block) {
            fail("write: " + e.message());
            return;
        }
        if (n < bytes.size()) {
            c.pendingOut.append(bytes.substr(n));
            c.waitingWrite = true;
            c.socket.async_wait(tcp::socket::wait_write,
                                [this, &c](const boost::system::error_code&) {
                                    c.waitingWrite = false;
                                    std::string rest = std::move(c.pendingOut);
                                    c.pendingOut.clear();
                                    send(c, rest);
                                });
        }
    }

    void waitRead(Client& c)
    {
        c.socket.async_wait(tcp::socket::wait_read, [this, &c](const boost::system::error_code& e) {
            if (e)
                return;
            boost::system::error_code re;
            const std::size_t n = c.socket.read_some(asio::buffer(m_readBuffer), re);
            if (re == asio::error::would_block) {
                waitRead(c);
                return;
            }
            if (re) {
                fail("client " + std::to_string(c.index) + " lost: " + re.message());
                return;
            }
            std::string_view data(m_readBuffer.data(), n);
            while (!data.empty()) {
                const auto lf = data.find('\n');
                if (lf == std::string_view::npos) {
                    c.partial.append(data);
                    break;
                }
                if (c.partial.empty()) {
                    onLine(c, data.substr(0, lf));
                } else {
                    c.partial.append(data.substr(0, lf));
                    const std::string line = std::move(c.partial);
                    c.partial.clear();
                    onLine(c, line);
                }
                data.remove_prefix(lf + 1);
            }
            waitRead(c);
        });
    }

    void onLine(Client& c, std::string_view line)
    {
        if (const auto marker = line.find("%M"); marker != std::string_view::npos) {
            std::size_t seq = 0;
            std::from_chars(line.data() + marker + 2, line.data() + line.size(), seq);
            onDelivery(seq);
            return;
        }
        if (m_irc) {
            if (line.rfind("PING", 0) == 0) {
                send(c, "PONG" + std::string(line.substr(4)) + "\r\n");
            } else if (!c.registered && line.find(" 001 ") != std::string_view::npos) {
                c.registered = true;
                send(c, "JOIN #bench\r\n");
            } else if (!c.joined && line.find(" 366 ") != std::string_view::npos) {
                c.joined = true;
                onRegistered();
            }
            return;
        }
        if (!c.registered && line.rfind("UserListUpdate,", 0) == 0) {
            c.registered = true;
            onRegistered();
        } else if (line.rfind("YourRemoteIP~", 0) == 0 && !c.alive) {
            c.alive = true;
            if (++m_alive == m_clients.size())
                finishHold();
        }
    }

    void onRegistered()
    {
        ++m_registered;
        connectNext();
        if (m_registered < m_clients.size())
            return;
        m_registeredAt = Clock::now();
        const double seconds = std::chrono::duration<double>(m_registeredAt - m_start).count();
        std::printf("registered=%zu\nregister_seconds=%.2f\n", m_registered, seconds);
        std::fflush(stdout);
        if (m_s.mode == "hold") {
            m_phase = "alive check";
            // Every client asks for its address: all answered means all are still served.
            for (auto& client : m_clients)
                send(*client, "ClientRequestRemoteIP\r\n");
        } else {
            startLatencyPhase();
        }
    }

    void finishHold()
    {
        const long rss = m_s.serverPid > 0 ? residentKiB(m_s.serverPid) : -1;
        std::printf("alive=%zu\nrss_before_kib=%ld\nrss_after_kib=%ld\n", m_alive, m_rssBefore,
                    rss);
        if (rss > 0 && m_rssBefore > 0)
            std::printf("bytes_per_client=%.0f\n", static_cast<double>(rss - m_rssBefore) * 1024.0 /
                                                       static_cast<double>(m_clients.size()));
        std::fflush(stdout);
        m_io.stop();
    }

    // ---- fan-out ----

    struct Message
    {
        Clock::time_point sent;
        std::size_t remaining;
    };

    void sendChat(std::size_t senderIndex)
    {
        const std::size_t seq = m_messages.size();
        m_messages.push_back(Message{Clock::now(), m_expected});
        Client& c = *m_clients[senderIndex % m_clients.size()];
        if (m_irc)
            send(c, "PRIVMSG #bench :%M" + std::to_string(seq) + " fan-out test line\r\n");
        else
            send(c, "Globalchat~b~%M" + std::to_string(seq) + " fan-out test line\r\n");
        ++m_sent;
    }

    void startLatencyPhase()
    {
        m_phase = "idle latency";
        m_phaseFirst = m_messages.size();
        m_phaseTarget = m_s.latencySamples;
        m_phaseSent = 1;
        sendChat(0);
    }

    void startThroughputPhase()
    {
        m_phase = "throughput";
        m_phaseFirst = m_messages.size();
        m_phaseTarget = m_s.messages;
        m_phaseSent = 0;
        m_phaseStart = Clock::now();
        if (m_s.serverPid > 0)
            m_serverCpuStart = cpuSeconds(m_s.serverPid);
        for (std::size_t i = 0; i < std::min(m_s.window, m_s.messages); ++i) {
            sendChat(m_phaseSent % m_s.senders);
            ++m_phaseSent;
        }
    }

    void onDelivery(std::size_t seq)
    {
        if (seq >= m_messages.size() || m_messages[seq].remaining == 0) {
            fail("unexpected delivery of line " + std::to_string(seq));
            return;
        }
        if (--m_messages[seq].remaining > 0)
            return;
        const double ms =
            std::chrono::duration<double, std::milli>(Clock::now() - m_messages[seq].sent).count();
        m_latencies.push_back(ms);
        ++m_phaseDone;
        if (m_phaseSent < m_phaseTarget) {
            sendChat(m_phaseSent % m_s.senders);
            ++m_phaseSent;
            return;
        }
        if (m_phaseDone < m_phaseTarget)
            return;
        if (m_phase == "idle latency") {
            std::printf("idle_p50_ms=%.3f\nidle_p99_ms=%.3f\n", percentile(m_latencies, 0.50),
                        percentile(m_latencies, 0.99));
            std::fflush(stdout);
            if (m_s.messages == 0) {
                m_io.stop();
                return;
            }
            m_latencies.clear();
            m_phaseDone = 0;
            startThroughputPhase();
            return;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - m_phaseStart).count();
        const double rate = static_cast<double>(m_phaseTarget) / seconds;
        if (m_s.serverPid > 0) {
            const double cpu = cpuSeconds(m_s.serverPid) - m_serverCpuStart;
            std::printf("server_cpu_seconds=%.3f\nserver_cpu_us_per_1000_deliveries=%.1f\n", cpu,
                        cpu * 1e6 * 1000.0 /
                            (static_cast<double>(m_phaseTarget) * static_cast<double>(m_expected)));
        }
        std::printf("lines_per_s=%.0f\ndeliveries_per_s=%.0f\nload_p50_ms=%.3f\n"
                    "load_p99_ms=%.3f\n",
                    rate, rate * static_cast<double>(m_expected), percentile(m_latencies, 0.50),
                    percentile(m_latencies, 0.99));
        std::fflush(stdout);
        m_io.stop();
    }

    asio::io_context& m_io;
    Settings m_s;
    bool m_irc = false;
    std::size_t m_expected = 0;
    tcp::endpoint m_endpoint;
    std::vector<std::unique_ptr<Client>> m_clients;
    std::vector<char> m_readBuffer;
    asio::steady_timer m_deadline;
    std::size_t m_nextConnect = 0;
    std::size_t m_registered = 0;
    std::size_t m_alive = 0;
    long m_rssBefore = -1;
    double m_serverCpuStart = 0;
    Clock::time_point m_start, m_registeredAt, m_phaseStart;
    std::string m_phase = "registration";
    std::vector<Message> m_messages;
    std::vector<double> m_latencies;
    std::size_t m_phaseFirst = 0, m_phaseTarget = 0, m_phaseSent = 0, m_phaseDone = 0;
    std::size_t m_sent = 0;
    int m_exitCode = 0;
};

// The second load of the status-page benchmark: a web client polling /status.json at a
// fixed rate, each poll on its own connection. Polls overlap when the answers are slow; past
// a few in flight a due poll is counted as late and skipped.
class StatusPoller
{
public:
    StatusPoller(asio::io_context& io, const Settings& s)
        : m_io(io), m_endpoint(asio::ip::make_address(s.host), s.port),
          m_period(std::chrono::nanoseconds(1'000'000'000 / std::max<std::size_t>(s.rate, 1))),
          m_timer(io), m_signals(io, SIGTERM, SIGINT)
    {
    }

    int run()
    {
        m_signals.async_wait([this](const boost::system::error_code&, int) { m_io.stop(); });
        m_next = Clock::now();
        tick();
        m_io.run();
        std::printf("polls=%zu\nok=%zu\nfailed=%zu\nlate=%zu\nbytes=%zu\n", m_polls, m_ok, m_failed,
                    m_late, m_bytes);
        return m_ok > 0 ? 0 : 1;
    }

private:
    struct Poll
    {
        explicit Poll(asio::io_context& io) : socket(io) {}
        tcp::socket socket;
        std::string answer;
        std::array<char, 16384> buffer;
    };

    void tick()
    {
        m_next += m_period;
        m_timer.expires_at(m_next);
        m_timer.async_wait([this](const boost::system::error_code& e) {
            if (!e)
                tick();
        });
        if (m_inFlight >= kMaxInFlight) {
            ++m_late;
            return;
        }
        ++m_inFlight;
        ++m_polls;
        auto poll = std::make_shared<Poll>(m_io);
        poll->socket.async_connect(m_endpoint, [this, poll](const boost::system::error_code& e) {
            if (e)
                return done(*poll, false);
            static const std::string request =
                "GET /status.json HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
            asio::async_write(poll->socket, asio::buffer(request),
                              [this, poll](const boost::system::error_code& we, std::size_t) {
                                  if (we)
                                      return done(*poll, false);
                                  read(poll);
                              });
        });
    }

    void read(const std::shared_ptr<Poll>& poll)
    {
        poll->socket.async_read_some(
            asio::buffer(poll->buffer),
            [this, poll](const boost::system::error_code& e, std::size_t n) {
                poll->answer.append(poll->buffer.data(), n);
                if (e == asio::error::eof)
                    return done(*poll, poll->answer.rfind("HTTP/1.1 200", 0) == 0 &&
                                           poll->answer.back() == '\n');
                if (e)
                    return done(*poll, false);
                read(poll);
            });
    }

    void done(Poll& poll, bool ok)
    {
        --m_inFlight;
        ++(ok ? m_ok : m_failed);
        m_bytes += poll.answer.size();
    }

    asio::io_context& m_io;
    tcp::endpoint m_endpoint;
    Clock::duration m_period;
    asio::steady_timer m_timer;
    asio::signal_set m_signals;
    Clock::time_point m_next;
    static constexpr std::size_t kMaxInFlight = 8;
    std::size_t m_inFlight = 0;
    std::size_t m_polls = 0, m_ok = 0, m_failed = 0, m_late = 0, m_bytes = 0;
};

// The hostile web client: kept-alive connections that ask for the two large pages in turn as
// fast as the answers come, the way a broken dashboard or a scraper would.
class PageHammer
{
public:
    PageHammer(asio::io_context& io, const Settings& s)
        : m_io(io), m_endpoint(asio::ip::make_address(s.host), s.port), m_count(s.clients),
          m_signals(io, SIGTERM, SIGINT)
    {
    }

    int run()
    {
        m_signals.async_wait([this](const boost::system::error_code&, int) { m_io.stop(); });
        for (std::size_t i = 0; i < m_count; ++i) {
            m_connections.push_back(std::make_shared<Connection>(m_io));
            connect(m_connections.back());
        }
        const auto start = Clock::now();
        m_io.run();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("answers=%zu\nfailed=%zu\nanswers_per_s=%.0f\nmib_per_s=%.1f\n", m_ok, m_failed,
                    static_cast<double>(m_ok) / seconds,
                    static_cast<double>(m_bytes) / seconds / (1024.0 * 1024.0));
        return m_ok > 0 ? 0 : 1;
    }

private:
    struct Connection
    {
        explicit Connection(asio::io_context& io) : socket(io) {}
        tcp::socket socket;
        std::string answer;
        bool json = false;
        std::array<char, 65536> buffer;
    };
    using Shared = std::shared_ptr<Connection>;

    void connect(const Shared& c)
    {
        c->socket.async_connect(m_endpoint, [this, c](const boost::system::error_code& e) {
            if (e)
                return lost(c);
            ask(c);
        });
    }

    void ask(const Shared& c)
    {
        static const std::string requests[2] = {
            "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n",
            "GET /status.json HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"};
        c->json = !c->json;
        c->answer.clear();
        asio::async_write(c->socket, asio::buffer(requests[c->json ? 1 : 0]),
                          [this, c](const boost::system::error_code& e, std::size_t) {
                              if (e)
                                  return lost(c);
                              read(c);
                          });
    }

    void read(const Shared& c)
    {
        c->socket.async_read_some(
            asio::buffer(c->buffer), [this, c](const boost::system::error_code& e, std::size_t n) {
                if (e)
                    return lost(c);
                c->answer.append(c->buffer.data(), n);
                const auto head = c->answer.find("\r\n\r\n");
                const auto field = c->answer.find("Content-Length: ");
                if (head != std::string::npos && field != std::string::npos && field < head) {
                    const std::size_t length =
                        std::strtoul(c->answer.c_str() + field + 16, nullptr, 10);
                    if (c->answer.size() >= head + 4 + length) {
                        ++(c->answer.rfind("HTTP/1.1 200", 0) == 0 ? m_ok : m_failed);
                        m_bytes += c->answer.size();
                        return ask(c);
                    }
                }
                read(c);
            });
    }

    void lost(const Shared& c)
    {
        ++m_failed;
        boost::system::error_code ignored;
        c->socket.close(ignored);
        c->socket = tcp::socket(m_io);
        connect(c);
    }

    asio::io_context& m_io;
    tcp::endpoint m_endpoint;
    std::size_t m_count;
    asio::signal_set m_signals;
    std::vector<Shared> m_connections;
    std::size_t m_ok = 0, m_failed = 0, m_bytes = 0;
};

bool parseArguments(int argc, char** argv, Settings& s)
{
    const std::map<std::string, std::size_t*> counts{{"--clients", &s.clients},
                                                     {"--senders", &s.senders},
                                                     {"--window", &s.window},
                                                     {"--messages", &s.messages},
                                                     {"--latency-samples", &s.latencySamples},
                                                     {"--connect-parallel", &s.connectParallel},
                                                     {"--rate", &s.rate}};
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (const auto it = counts.find(name); it != counts.end())
            *it->second = std::stoul(value);
        else if (name == "--mode")
            s.mode = value;
        else if (name == "--protocol")
            s.protocol = value;
        else if (name == "--host")
            s.host = value;
        else if (name == "--port")
            s.port = static_cast<unsigned short>(std::stoul(value));
        else if (name == "--server-pid")
            s.serverPid = std::stoi(value);
        else if (name == "--timeout")
            s.timeoutSeconds = std::stod(value);
        else
            return false;
    }
    return argc % 2 == 1 && s.clients > 1 && s.senders > 0 && s.window > 0;
}

} // namespace

int main(int argc, char** argv)
{
    Settings settings;
    if (!parseArguments(argc, argv, settings)) {
        std::fprintf(stderr,
                     "usage: vantrell-loadgen --mode hold|fanout|poll|hammer --port P --clients N "
                     "[--protocol vantrell|irc] [--server-pid PID] [--senders N] "
                     "[--window N] [--messages N] [--latency-samples N] [--rate N]\n");
        return 2;
    }
    asio::io_context io(1);
    if (settings.mode == "poll")
        return StatusPoller(io, settings).run();
    if (settings.mode == "hammer")
        return PageHammer(io, settings).run();
    LoadGenerator generator(io, settings);
    return generator.run();
}
