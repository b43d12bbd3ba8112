#include "Quillon/UserInputValidator.h"

#include <gtest/gtest.h>

namespace {

TEST(UserInputValidatorTest, AcceptsOnlyTwentyThreeCharacterPanelSerials)
{
    const std::unique_ptr<IUserInputValidator> validator = UserInputValidatorFactory().Create();
    EXPECT_EQ(validator->GetRequiredLength(), 23);
    const struct {
        QString serial;
        QValidator::State state;
    } cases[] = {
        {"8S0123456789AAAABBBB123", QValidator::Acceptable},
        {"8s0123456789aaaabbbb123", QValidator::Acceptable},
        {"8S0123456789AAAABBBB12", QValidator::Invalid},
        {"8S0123456789AAAABBBB1234", QValidator::Invalid},
        {"", QValidator::Invalid},
        {"9S0123456789AAAABBBB123", QValidator::Invalid},
        {"8T0123456789AAAABBBB123", QValidator::Invalid},
        {"8S0123456789AAAA BBB123", QValidator::Invalid},
        {"8S0123456789AAAA-BBB123", QValidator::Invalid},
        {"8S0123456789AAAA\u00c4BBB123", QValidator::Invalid},
        {"8S0123456789AAAABBBB12\n", QValidator::Invalid},
        // A character outside the basic plane counts as two UTF-16 units.
        {"8S0123456789AAAABBBB1\U0001F600", QValidator::Invalid},
    };
    for (const auto& c : cases) {
        QString input = c.serial;
        int position = 5;
        EXPECT_EQ(validator->validate(input, position), c.state) << c.serial.toStdString();
        EXPECT_EQ(input, c.serial);
        EXPECT_EQ(position, 5);
    }
}

}  // namespace
