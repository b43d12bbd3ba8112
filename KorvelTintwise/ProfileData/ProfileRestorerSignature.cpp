// The archive signature check, apart from the rest of the restorer so that a tool can link it alone.
#include "Common/Security/ArchiveSignature.h"
#include "ProfileData/ProfileRestorer.h"
#include "ProfileData/ProfileRestorerExceptions.h"

void ProfileRestorer::VerifySignature(IDecrypter& decrypter, const QByteArray& data)
{
    if (!Korvel::DisplayCalibration::Common::Security::HasValidArchiveSignature(decrypter, data)) {
        throw InvalidDigitalSignatureException("Profile archive does not have valid digital signature");
    }
}
