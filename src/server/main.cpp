// keyin-server: the exam room in the browser. It plays the part of a desktop test front end for
// a whole room: candidates type in their browser with their own input method, and every finished
// part is scored by keyin-scorer exactly as a front end starts it.
#include <pthread.h>
#include <signal.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <thread>

#include "platform/file_lock.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/store.h"
#include "server/account_book.h"
#include "server/centre.h"
#include "server/http_api.h"
#include "server/network_rule.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

int Fail(const std::string& message, int status = 1) {
  std::cerr << "keyin-server: " << message << "\n";
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // Before any thread starts (the room's, the server's): every thread blocks the signals that
  // stop the server, and one thread waits for them, whenever they come. A broken pipe to a
  // browser or a child must not end the server.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  CLI::App app{
      "keyin-server: the exam room in the browser (candidate pages at /, proctor at "
      "/proctor/). The proctor password comes from KEYIN_PROCTOR_PASSWORD."};
  std::string listen = "127.0.0.1:8080", tls_cert, tls_key, state;
  std::vector<std::string> sitting_files, roster_files;
  std::string web;
  std::vector<std::string> data_roots;
  // A scoring run waits for the disk (its answer, its row, its record line) about as long as it
  // computes, so twice as many runs as cores keep the cores busy (bench/README.md).
  int workers = static_cast<int>(std::clamp(2u * std::thread::hardware_concurrency(), 2u, 16u));
  std::size_t connections_per_address = 64;
  app.add_option("--listen", listen,
                 "ADDR:PORT to listen on; 0.0.0.0:PORT serves the whole network, port 0 picks a "
                 "free port")
      ->capture_default_str();
  app.add_option("--tls-cert", tls_cert, "PEM certificate: serve HTTPS");
  app.add_option("--tls-key", tls_key, "PEM private key of the certificate");
  app.add_option("--sitting", sitting_files,
                 "Open this sitting at start (JSON named after the run parameters, plus "
                 "ShowResults, and Room); repeat for one sitting per room");
  app.add_option("--roster", roster_files,
                 "The roster of the --sitting in the same place: CSV with the columns UserID, "
                 "StuName, ClassName, SeatNo (UTF-8 or code page 950)");
  app.add_option("--state", state,
                 "Folder of the sitting's state and drafts (default: exam-room/ in the program "
                 "folder)");
  app.add_option(
      "--web", web,
      "Folder of the pages (default: web/ beside the executable, else ../share/keyin/web)");
  app.add_option("--data-root", data_roots,
                 "A folder a sitting's LibPath and ScrPath may lie in; repeat for several "
                 "(default: the program folder)");
  app.add_option("--workers", workers, "Scoring runs at the same time (default: twice the cores)")
      ->capture_default_str()
      ->check(CLI::Range(1, 16));
  app.add_option("--connections-per-address", connections_per_address,
                 "Connections one address may hold open; a room behind NAT comes from one "
                 "address and needs about 6 per candidate")
      ->capture_default_str()
      ->check(CLI::Range(1, 100000));
  std::string candidates_from, proctors_from;
  app.add_option("--candidates-from", candidates_from,
                 "CIDR[,CIDR...]: candidates' calls only from these addresses (the room's "
                 "network); others get 403");
  app.add_option("--proctors-from", proctors_from,
                 "CIDR[,CIDR...]: the proctor's calls only from these addresses");
  CLI11_PARSE(app, argc, argv);
  keyin::server::NetworkRule candidates_rule, proctors_rule;
  try {
    candidates_rule = keyin::server::NetworkRule::Parse(candidates_from);
    proctors_rule = keyin::server::NetworkRule::Parse(proctors_from);
  } catch (const std::invalid_argument& failure) {
    return Fail(
        std::string("--candidates-from and --proctors-from take CIDR ranges: ") + failure.what(),
        2);
  }

  const char* password = std::getenv("KEYIN_PROCTOR_PASSWORD");
  bool has_accounts = false;
  try {
    has_accounts = !keyin::server::ReadAccounts(keyin::ProgramFolder()).empty();
  } catch (const std::exception& failure) {
    return Fail(failure.what());
  }
  if ((password == nullptr || *password == '\0') && !has_accounts) {
    return Fail(
        "set KEYIN_PROCTOR_PASSWORD to the first administrator's password, or add accounts "
        "with keyin-tool accounts add; refusing to start without a way to sign in",
        2);
  }
  if (tls_cert.empty() != tls_key.empty()) return Fail("--tls-cert and --tls-key go together", 2);
  if (sitting_files.size() != roster_files.size()) {
    return Fail("--sitting and --roster go together: one --roster for each --sitting", 2);
  }
  const std::size_t colon = listen.rfind(':');
  int port = -1;
  try {
    if (colon != std::string::npos) port = std::stoi(listen.substr(colon + 1));
  } catch (const std::exception&) {
  }
  if (colon == std::string::npos || colon == 0 || port < 0 || port > 65535) {
    return Fail("--listen takes ADDR:PORT, for example 127.0.0.1:8080", 2);
  }
  const std::string host = listen.substr(0, colon);

  try {
    const std::string program_folder = keyin::ProgramFolder();
    const std::string executables = keyin::ExecutableFolder();
    keyin::server::RoomConfig config;
    config.program_folder = program_folder;
    config.state_folder = state.empty() ? program_folder + "/exam-room" : state;
    // One server per state folder: two would each write the seats' files over the other's.
    keyin::CreateFolders(config.state_folder);
    const std::optional<keyin::FileLock> lock =
        keyin::FileLock::TryTake(config.state_folder + "/server.lock");
    if (!lock) {
      return Fail("another keyin-server is using the state folder " + config.state_folder +
                  "; stop it, or give this one another --state");
    }
    config.scorer = executables + "/keyin-scorer";
    config.scoring_workers = workers;
    config.data_roots = data_roots;
    keyin::server::ServerMetrics metrics;
    config.metrics = &metrics;
    // With KEYIN_DATABASE_URL the rooms' state lives on that server, where another keyin-server
    // can take a room over; the state folder keeps only this server's lock.
    keyin::server::Centre centre(config, keyin::DatabaseServerUrl().has_value());
    std::set<std::string> rooms;
    for (std::size_t i = 0; i < sitting_files.size(); ++i) {
      const auto sitting = keyin::server::SittingFromJson(
          nlohmann::json::parse(ReadFile(sitting_files[i]), nullptr, false));
      if (!rooms.insert(sitting.Room).second) {
        return Fail(
            "two --sitting files name the room " + sitting.Room + "; give each its own Room", 2);
      }
      centre.OpenOrResume(sitting, keyin::server::ParseRoster(ReadFile(roster_files[i])));
    }

    keyin::server::FrontEndOptions options;
    options.proctor_password = password == nullptr ? "" : password;
    // Beside the executable in a build, in share/keyin/ of an installed package.
    options.web_folder = !web.empty() ? web
                         : keyin::IsFolder(executables + "/web")
                             ? executables + "/web"
                             : executables + "/../share/keyin/web";
    options.tool = executables + "/keyin-tool";
    options.tls_certificate = tls_cert;
    options.tls_key = tls_key;
    options.connections_per_address = connections_per_address;
    options.candidates_from = candidates_rule;
    options.proctors_from = proctors_rule;
    options.metrics = &metrics;
    keyin::server::HttpFrontEnd front_end(centre, options);
    const std::optional<int> bound = front_end.Bind(host, port);
    if (!bound) return Fail("cannot listen on " + listen);

    // A stop is kept even before Serve(), so the addresses are printed once this thread runs.
    std::thread stopper([&] {
      int signal = 0;
      sigwait(&stop_signals, &signal);
      front_end.Stop();
    });

    const std::string scheme = tls_cert.empty() ? "http" : "https";
    const std::string base = scheme + "://" + (host == "0.0.0.0" ? "<this computer>" : host) + ":" +
                             std::to_string(*bound);
    std::cout << "keyin-server: candidates " << base << "/\n"
              << "keyin-server: proctor    " << base << "/proctor/\n"
              << std::flush;
    const bool served = front_end.Serve();
    // The stopper must be done with the front end before it goes: wake it if no signal did.
    pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    if (!served) return Fail("serving stopped on an error");
    return 0;
  } catch (const std::exception& failure) {
    return Fail(failure.what());
  }
}
