#include "maintenance/maintenance_form.h"

#include <gtest/gtest.h>

namespace keyin {
namespace {

constexpr char16_t kFourteen[] = u"A01,E01,P001,,S1,王小明,3,15,1,600,300, 0.5,lib/,scores/";

// The form keeps fourteen fields as given and reads field 11 as a number.
TEST(ActivateMaintenanceForm, TakesFourteenFieldsAndReadsFieldElevenAsANumber) {
  // Fields beyond the fourteenth are ignored.
  for (const std::u16string& command_line :
       {std::u16string(kFourteen), std::u16string(kFourteen) + u",x,y"}) {
    const MaintenanceForm form = ActivateMaintenanceForm(command_line);
    EXPECT_EQ(form.SubtractScore, 0.5);
    EXPECT_EQ(form.fields[kFieldSubtractScore], u" 0.5");
    EXPECT_EQ(form.fields[kFieldUserID], u"S1");
    EXPECT_EQ(form.fields[13], u"scores/");
  }
  const struct {
    const char* rule;
    std::u16string command_line;
  } refused[] = {
      {"no fields", u""},
      {"thirteen fields", u"A01,E01,P001,,S1,王小明,3,15,1,600,300,0.5,lib/"},
      {"field 11 no number", u"A01,E01,P001,,S1,王小明,3,15,1,600,300,half,lib/,scores/"},
      {"field 11 empty", u"A01,E01,P001,,S1,王小明,3,15,1,600,300,,lib/,scores/"},
  };
  for (const auto& c : refused) {
    EXPECT_THROW(ActivateMaintenanceForm(c.command_line), MaintenanceCommandLineError) << c.rule;
  }
}

TEST(CommandButton3, SetsTheTimeUsedAndNothingElse) {
  MaintenanceForm form = ActivateMaintenanceForm(kFourteen);
  const MaintenanceForm before = form;
  CommandButton3_Click(form);
  EXPECT_EQ(form.fields[kFieldUseTime], u"54");
  form.fields[kFieldUseTime] = before.fields[kFieldUseTime];
  EXPECT_EQ(form.fields, before.fields);
}

}  // namespace
}  // namespace keyin
