#include "server/report_page.h"

#include "platform/file_system.h"

namespace keyin::server {

bool WriteReportPage(const std::string& tool, const std::string& argument_string,
                     const std::string& output_path, const ChildOptions& options) {
  const ChildResult rendered = RunChild(
      tool, {"report", "--format", "html", "--output", output_path, argument_string}, options);
  return rendered.exit_status == 0 && IsNormalFile(output_path);
}

}  // namespace keyin::server
