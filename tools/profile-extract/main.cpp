// Extracts ZIP archives as ProfileArchiver does: profile-extract ARCHIVE... DESTINATION
// It calls the archiver's Qt-free extraction, so it loads neither Qt nor the platform stand-in.
#include "Common/Archive/Standalone/ArchiveExtraction.h"

#include <malloc.h>

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s ARCHIVE... DESTINATION\n", argv[0]);
        return 2;
    }
    // Each entry's decoder frees its buffers at its end and the next one takes them again: kept by the
    // process instead of returned to the system each time (a heap shrink and regrowth per entry), as the
    // process ends soon anyway.
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    int status = 0;
    for (int i = 1; i < argc - 1; ++i) {
        try {
            Korvel::DisplayCalibration::Common::Archive::ExtractArchive(argv[i], argv[argc - 1], nullptr);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s: %s\n", argv[i], error.what());
            status = 1;
        }
    }
    return status;
}
