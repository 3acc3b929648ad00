#include "CommandLine.h"

#include "PdmStore.h"
#include "SafeText.h"
#include "SeedFile.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <map>

namespace elmserver {
namespace {

bool ParseUnsigned(const std::string& text, unsigned long long max, unsigned long long& value) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value <= max;
}

const std::map<std::string, Mode>& Subcommands() {
  static const std::map<std::string, Mode> modes = {
      {"serve", Mode::Serve}, {"seed", Mode::Seed}, {"list", Mode::List}, {"set", Mode::Set}};
  return modes;
}

}  // namespace

std::string UsageText() {
  return R"(Usage:
  elm-server [serve] [--db FILE] [--listen HOST:PORT] [--allow-remote]
             [--base-path PATH] [--max-body BYTES] [--threads N] [--quiet]
  elm-server seed [--db FILE] SEEDFILE...
  elm-server list [--db FILE] numbers|transfers|processes|structures|settings
  elm-server set  [--db FILE] NAME VALUE
  elm-server --help | --version

The reference integration server of ELMCommands. It answers POST requests
at <base-path>/ELMRequest, by default http://127.0.0.1:8080/ELMRequest, and
keeps its PDM data in an SQLite database.

Options:
  --db FILE          database file, created when missing (default:
                     $XDG_DATA_HOME/elm-server/elm-server.db)
  --listen HOST:PORT address to listen on (default 127.0.0.1:8080; port 0
                     picks a free port, printed on standard output); only
                     loopback without --allow-remote
  --allow-remote     let --listen name an address other than loopback; the
                     server has no authentication, so anyone who reaches it
                     can use it
  --base-path PATH   path in front of ELMRequest (default /)
  --max-body BYTES   largest request body accepted (default 8388608)
  --threads N        threads that serve connections (default 16)
  --quiet            no request log on standard error

Settings (elm-server set NAME VALUE):
  Show3DXSendConfigurationEnabled  true|false  (default false)
  UseBookmark                      true|false  (default false)
  PartNumberPrefix                 text        (default ELM-)
  PartNumberDigits                 1..18       (default 6)
  NamesListForm                    joined|elements (default joined)
)";
}

bool ParseListen(const std::string& text, std::string& host, int& port, std::string& error) {
  auto colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    error = "--listen needs HOST:PORT, for example 127.0.0.1:8080; got \"" + text + "\"";
    return false;
  }
  unsigned long long p = 0;
  if (!ParseUnsigned(text.substr(colon + 1), 65535, p)) {
    error = "--listen: the port of \"" + text + "\" must be a number from 0 to 65535";
    return false;
  }
  host = text.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  port = static_cast<int>(p);
  return true;
}

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error) {
  CommandLine cmd;
  std::size_t i = 0;
  if (!args.empty()) {
    auto it = Subcommands().find(args[0]);
    if (it != Subcommands().end()) {
      cmd.mode = it->second;
      i = 1;
    }
  }
  auto value = [&](const std::string& opt, std::string& into) {
    if (i + 1 >= args.size()) {
      error = opt + " needs a value";
      return false;
    }
    into = args[++i];
    return true;
  };
  bool serveOnly = false;
  std::string serveOption;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string v;
    if (a == "--help" || a == "-h") {
      cmd.mode = Mode::Help;
      out = cmd;
      return true;
    } else if (a == "--version") {
      cmd.mode = Mode::Version;
      out = cmd;
      return true;
    } else if (a == "--db") {
      if (!value(a, cmd.db)) return false;
      if (cmd.db.empty()) {
        error = "--db needs a file name";
        return false;
      }
    } else if (a == "--listen") {
      if (!value(a, v) || !ParseListen(v, cmd.server.host, cmd.server.port, error)) return false;
      serveOnly = true;
      serveOption = a;
    } else if (a == "--base-path") {
      if (!value(a, v) || !NormalizeBasePath(v, cmd.server.basePath, error)) return false;
      serveOnly = true;
      serveOption = a;
    } else if (a == "--max-body") {
      unsigned long long n = 0;
      if (!value(a, v)) return false;
      if (!ParseUnsigned(v, 1ull << 32, n) || n < 1024) {
        error = "--max-body must be a byte count from 1024 to 4294967296, not \"" + v + "\"";
        return false;
      }
      cmd.server.maxBodyBytes = static_cast<std::size_t>(n);
      serveOnly = true;
      serveOption = a;
    } else if (a == "--threads") {
      unsigned long long n = 0;
      if (!value(a, v)) return false;
      if (!ParseUnsigned(v, 256, n) || n < 1) {
        error = "--threads must be a number from 1 to 256, not \"" + v + "\"";
        return false;
      }
      cmd.server.threads = static_cast<int>(n);
      serveOnly = true;
      serveOption = a;
    } else if (a == "--allow-remote") {
      cmd.server.allowRemote = true;
      serveOnly = true;
      serveOption = a;
    } else if (a == "--quiet") {
      cmd.quiet = true;
    } else if (a.size() > 1 && a[0] == '-') {
      error = "unknown option " + a;
      return false;
    } else {
      cmd.operands.push_back(a);
    }
  }
  if (serveOnly && cmd.mode != Mode::Serve) {
    error = serveOption + " applies only when serving";
    return false;
  }
  switch (cmd.mode) {
    case Mode::Serve:
      if (!cmd.operands.empty()) {
        error = "unknown command \"" + cmd.operands.front() + "\"; commands are serve, seed, list and set";
        return false;
      }
      if (!cmd.server.allowRemote && !IsLoopbackHost(cmd.server.host)) {
        error = "--listen " + HostPort(cmd.server.host, cmd.server.port) +
                " is not a loopback address; elm-server has no authentication, so listening where other machines "
                "reach it needs --allow-remote";
        return false;
      }
      break;
    case Mode::Seed:
      if (cmd.operands.empty()) {
        error = "seed needs at least one seed file";
        return false;
      }
      break;
    case Mode::List:
      if (cmd.operands.size() != 1 ||
          (cmd.operands[0] != "numbers" && cmd.operands[0] != "transfers" && cmd.operands[0] != "processes" &&
           cmd.operands[0] != "structures" && cmd.operands[0] != "settings")) {
        error = "list needs one of numbers, transfers, processes, structures, settings";
        return false;
      }
      break;
    case Mode::Set: {
      if (cmd.operands.size() != 2) {
        error = "set needs a setting name and a value";
        return false;
      }
      const auto& known = KnownSettings();
      if (std::find(known.begin(), known.end(), cmd.operands[0]) == known.end()) {
        std::string list;
        for (const auto& n : known) list += (list.empty() ? "" : ", ") + n;
        error = "unknown setting \"" + Printable(cmd.operands[0]) + "\"; the settings are " + list;
        return false;
      }
      break;
    }
    default:
      break;
  }
  out = std::move(cmd);
  return true;
}

std::string DefaultDatabasePath(std::string& error) {
  namespace fs = std::filesystem;
  fs::path dir;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
    dir = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    dir = fs::path(home) / ".local" / "share";
  } else {
    error = "neither XDG_DATA_HOME nor HOME is set; give the database with --db FILE";
    return {};
  }
  dir /= "elm-server";
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    error = "cannot create " + dir.string() + ": " + ec.message();
    return {};
  }
  return (dir / "elm-server.db").string();
}

namespace {

void PrintNodes(std::ostream& out, const std::vector<StructureNode>& nodes) {
  // Past this depth the indentation stops growing and the line names its
  // level, so a deep structure lists in a size that grows with its nodes.
  constexpr std::size_t kMaxIndent = 24;
  for (const auto& n : nodes) {
    out << std::string(2 * std::min(n.depth, kMaxIndent) + 2, ' ');
    if (n.depth > kMaxIndent) out << "[level " << n.depth << "] ";
    out << Printable(n.pn) << " (" << Printable(n.in) << ")\n";
  }
}

/// One line of tab-separated fields. Every field is escaped: values come
/// from clients and seed files, and a tab or a line feed in one would make
/// columns or rows that were never recorded.
class Row {
public:
  explicit Row(std::ostream& out) : m_out(out) {}
  ~Row() { m_out << '\n'; }
  Row& operator<<(const std::string& field) {
    if (m_fields++) m_out << '\t';
    m_out << Printable(field);
    return *this;
  }
  Row& operator<<(long long field) { return *this << std::to_string(field); }
  Row& operator<<(bool field) { return *this << std::string(field ? "true" : "false"); }

private:
  std::ostream& m_out;
  int m_fields = 0;
};

void List(PdmStore& store, const std::string& what, std::ostream& out) {
  if (what == "numbers") {
    out << "seq\tpart number\trequested by\trequest id\tissued at\n";
    for (const auto& n : store.IssuedNumbers()) Row(out) << n.seq << n.partNumber << n.requestedBy << n.requestId << n.issuedAt;
  } else if (what == "transfers") {
    out << "id\tuser\ttransfer type\ttype\tname\trevision\texpand\tforce\tremove existing\tconfiguration\tfolder only\t"
           "parallel\treceived at\n";
    for (const auto& t : store.Transfers()) {
      const auto& r = t.request;
      Row(out) << t.id << r.user << r.transferType << r.type << r.name << r.revision
               << static_cast<long long>(r.expandLevel) << r.force << r.removeExisting << r.sendConfiguration
               << r.folderOnly << r.parallel << t.receivedAt;
    }
  } else if (what == "processes") {
    out << "user\tactivity\tstatus\tdescription\tstart\tend\terror\n";
    for (const auto& p : store.AllProcesses())
      Row(out) << p.user << p.activity << p.status << p.description << p.start << p.end << p.errorMsg;
  } else if (what == "structures") {
    for (const auto& s : store.Structures()) {
      out << Printable(s.context) << " / " << Printable(s.name) << (s.isDefault ? " (default)" : "") << '\n';
      PrintNodes(out, s.nodes);
    }
  } else {
    for (const auto& [name, value] : store.Settings()) out << Printable(name) << " = " << Printable(value) << '\n';
  }
}

}  // namespace

int RunAdmin(const CommandLine& cmd, const std::string& dbPath, std::ostream& out, std::ostream& err) {
  try {
    PdmStore store(dbPath);
    switch (cmd.mode) {
      case Mode::Seed:
        for (const auto& file : cmd.operands) {
          SeedSummary s;
          std::string error;
          if (!LoadSeedFile(store, file, s, error)) {
            err << "elm-server: " << error << "; nothing of it was loaded\n";
            return 1;
          }
          out << file << ": " << s.settings << " settings, " << s.structures << " named structures, " << s.processes
              << " processes loaded\n";
        }
        return 0;
      case Mode::List:
        List(store, cmd.operands[0], out);
        return 0;
      case Mode::Set:
        store.SetSetting(cmd.operands[0], cmd.operands[1]);
        out << cmd.operands[0] << " = " << Printable(cmd.operands[1]) << '\n';
        return 0;
      default:
        return kUsageError;
    }
  } catch (const StoreError& e) {
    err << "elm-server: " << e.what() << '\n';
    return 1;
  }
}

}  // namespace elmserver
