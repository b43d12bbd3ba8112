#include "Quillon/UserInputValidator.h"

#include "Quillon/Constants.h"

namespace {
constexpr int RequiredLength = 23;
}

UserInputValidator::UserInputValidator() : pattern(std::make_unique<QRegularExpression>(PanelSerialPattern)) {}

UserInputValidator::~UserInputValidator() = default;

QValidator::State UserInputValidator::validate(QString& input, int&) const
{
    if (input.size() != RequiredLength) {
        return Invalid;
    }
    return pattern->match(input).hasMatch() ? Acceptable : Invalid;
}

int UserInputValidator::GetRequiredLength() const
{
    return RequiredLength;
}

std::unique_ptr<IUserInputValidator> UserInputValidatorFactory::Create()
{
    return std::make_unique<UserInputValidator>();
}
