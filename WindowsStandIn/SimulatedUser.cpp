#include "WindowsStandIn/SimulatedUser.h"

#include "WindowsStandIn/StateFile.h"

namespace WinSim::User {
namespace {

const QString UserFile = QStringLiteral("user.json");
const QString AnswersKey = QStringLiteral("answers");

}  // namespace

bool IsTarget(const QJsonObject& identity, const QString& target)
{
    return target.isEmpty() || target == QString::number(identity.value("pid").toInteger()) ||
           target == identity.value("program").toString() || target == identity.value("application").toString();
}

void QueueAnswer(const QJsonObject& answer, const QString& machine)
{
    const bool written = Detail::UpdateStateFile(
        UserFile,
        [&answer](QJsonObject& state) {
            QJsonArray answers = state.value(AnswersKey).toArray();
            answers.append(answer);
            state.insert(AnswersKey, answers);
            return true;
        },
        QJsonObject(), machine);
    if (!written) {
        throw MachineError(("cannot write " + Detail::StateFilePath(UserFile, machine)).toStdString());
    }
}

QJsonArray QueuedAnswers(const QString& machine)
{
    return Detail::ReadStateFile(UserFile, QJsonObject(), machine).value(AnswersKey).toArray();
}

std::optional<QJsonObject> TakeAnswer(const std::function<bool(const QJsonObject&)>& fits, const QString& machine)
{
    std::optional<QJsonObject> taken;
    Detail::UpdateStateFile(
        UserFile,
        [&](QJsonObject& state) {
            QJsonArray answers = state.value(AnswersKey).toArray();
            for (qsizetype i = 0; i < answers.size(); ++i) {
                if (fits(answers[i].toObject())) {
                    taken = answers.takeAt(i).toObject();
                    state.insert(AnswersKey, answers);
                    return true;
                }
            }
            return false;
        },
        QJsonObject(), machine);
    return taken;
}

}  // namespace WinSim::User
