// keyin-tool: installing the databases, building and reading test papers, and the operations
// that no scoring run calls.
#include <CLI/CLI.hpp>

#include "tool/commands.h"
#include "tool/results_command.h"

int main(int argc, char** argv) {
  CLI::App app{"keyin-tool: set-up and maintenance of the keyin scorer"};
  app.require_subcommand(1);

  bool force = false;
  CLI::App* init_db = app.add_subcommand(
      "init-db",
      "Create Vorkeyin.mdb in the program folder (KEYIN_HOME or the folder of the executable), "
      "the answer database C:\\ANS.VOR\\ANS.mdb (translated through KEYIN_DRIVE_C) and the "
      "folders lib/, ExamScr/ and CAIScr/");
  init_db->add_flag("--force", force, "Replace databases that already exist");

  std::string lib_file, lib_part;
  CLI::App* lib_read = app.add_subcommand(
      "lib-read", "Print one test of a test-paper library file (.LIB) as UTF-8 text");
  lib_read->add_option("FILE", lib_file, "The .LIB file")->required();
  lib_read->add_option("PART", lib_part, "\"1\" or \"2\" for one test, anything else for both")
      ->required();

  std::string part1_file, part2_file, lib_out;
  CLI::App* make_lib = app.add_subcommand(
      "make-lib", "Write a test-paper library file from two UTF-8 texts, one line per line");
  make_lib->add_option("--part1", part1_file, "UTF-8 text of test 1")->required();
  make_lib->add_option("--part2", part2_file, "UTF-8 text of test 2")->required();
  make_lib->add_option("OUT", lib_out, "The .LIB file to write")->required();

  std::string cus_text, cus_out;
  CLI::App* make_cus =
      app.add_subcommand("make-cus", "Write a custom text (.cus) from a UTF-8 text");
  make_cus->add_option("TEXT", cus_text, "UTF-8 text, one line per line")->required();
  make_cus->add_option("OUT", cus_out, "The .cus file to write")->required();

  std::string run_string, test_part;
  CLI::App* top_method = app.add_subcommand(
      "top-method",
      "Print the most used input method of the keyin record files (ExamScr/ or CAIScr/ of the "
      "program folder) that the run parameters select; \"其他\" when none was recorded");
  top_method->add_option("--run", run_string, "The 16 comma-separated run parameters")->required();
  top_method->add_option("PART", test_part, "The test part: \"1\" for test one")->required();

  CLI::App* usage_report = app.add_subcommand(
      "usage-report",
      "Write the usage detail report ScrPath/KeyinDetial.txt and copy it into ExamScr/ or "
      "CAIScr/ of the program folder; exit status 1 when it was not completed");
  usage_report->add_option("--run", run_string, "The 16 comma-separated run parameters")
      ->required();

  std::string maintenance_command;
  CLI::App* maintenance = app.add_subcommand(
      "maintenance",
      "One command of the maintenance form: sample-exam-row replaces the Keyin row of fields "
      "0, 1 and 4 by a sample row for A123456789; remove-mock-rows removes today's "
      "TestScore_Student rows of fields 4, 6 & 7 and 2; set-use-time sets field 10 to 54 and "
      "prints it");
  maintenance
      ->add_option("--run", run_string,
                   "The 14 comma-separated fields: the run parameters without TestType and "
                   "ClassName")
      ->required();
  maintenance->add_option("COMMAND", maintenance_command, "The command")
      ->required()
      ->check(CLI::IsMember(keyin::tool::MaintenanceCommandNames()));

  int results_status = 0;
  keyin::tool::RegisterResultsCommand(app, results_status);

  CLI11_PARSE(app, argc, argv);

  if (app.got_subcommand("results")) return results_status;

  if (*init_db) return keyin::tool::InitDb(force);
  if (*lib_read) return keyin::tool::LibRead(lib_file, lib_part);
  if (*make_lib) return keyin::tool::MakeLib(part1_file, part2_file, lib_out);
  if (*make_cus) return keyin::tool::MakeCus(cus_text, cus_out);
  if (*top_method) return keyin::tool::TopMethod(run_string, test_part);
  if (*usage_report) return keyin::tool::UsageReport(run_string);
  if (*maintenance) return keyin::tool::Maintenance(run_string, maintenance_command);
  return 1;
}
