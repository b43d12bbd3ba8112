#pragma once

#include <QRegularExpression>
#include <QValidator>

#include <memory>

// Checks a typed panel serial once, on "Submit" (it is not installed on the line edit).
class IUserInputValidator : public QValidator {
    Q_OBJECT

public:
    using QValidator::QValidator;
    ~IUserInputValidator() override = default;

    State validate(QString& input, int& position) const override = 0;
    virtual int GetRequiredLength() const = 0;
};

// A panel serial: 23 characters, "8", "s" or "S", then 21 ASCII letters or digits. Acceptable or
// Invalid, never Intermediate; case is left as it is.
class UserInputValidator : public IUserInputValidator {
    Q_OBJECT

public:
    UserInputValidator();
    ~UserInputValidator() override;

    State validate(QString& input, int& position) const override;
    int GetRequiredLength() const override;

private:
    std::unique_ptr<QRegularExpression> pattern;
};

class IUserInputValidatorFactory {
public:
    virtual ~IUserInputValidatorFactory() = default;
    // A new validator without parent, owned by the caller.
    virtual std::unique_ptr<IUserInputValidator> Create() = 0;
};

class UserInputValidatorFactory : public IUserInputValidatorFactory {
public:
    std::unique_ptr<IUserInputValidator> Create() override;
};
