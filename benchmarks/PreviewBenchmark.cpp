// Previews of a full factory set: ProfileDataObtainer::RunImageTransformers (one ImageTransformer
// thread per profile, through the colour engine) against the same work done with libjpeg and
// LittleCMS directly on as many threads; and both on 1 to 8 threads transforming one profile.
// scripts/benchmark-previews runs it and prints medians and ratios.
#include "Common/Application/Paths.h"
#include "Common/Profile/PanelInfo.h"
#include "Common/Profile/ProfileHelper.h"
#include "ProfileData/ImageTransformer.h"
#include "ProfileData/ProfileDataObtainer.h"
#include "Spectrine/Internal.h"
#include "WindowsStandIn/Machine.h"
#include "tests/KorvelTintwise/ServiceFakes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <lcms2.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using Korvel::DisplayCalibration::Common::Profile::PanelInfo;
using Korvel::DisplayCalibration::Common::Profile::ProfileHelper;

const QString Format = QStringLiteral("KVL_4A1C_{ProfileName}.icm");
const QStringList Keys = {"sRGB", "AdobeRGB", "REC709", "DCIP3", "DisplayP3", "P3", "DICOM_Office", "DICOM_Dim",
                          "Default", "Native"};

// A simulated machine holding a generated factory set, and an obtainer listing it.
struct Setup {
    QTemporaryDir folder;
    QString machine = folder.filePath("machine");
    QString images;
    QString colorDirectory;
    TintwiseTest::FakeBiosTools bios;
    TintwiseTest::FakeLogConfiguration configuration;
    std::unique_ptr<ProfileHelper> helper;
    std::unique_ptr<ProfileDataObtainer> obtainer;

    Setup()
    {
        qputenv(WinSim::MachineVariable, QFile::encodeName(machine));
        WinSim::CreateMachine(machine);
        WinSim::SetDescriptionValue(QStringLiteral("time.waitScale"), 0);
        helper = std::make_unique<ProfileHelper>();
        colorDirectory = helper->ColorDirectory();
        const QString maker = QCoreApplication::applicationDirPath() + "/make_panel_archive.py";
        if (QProcess::execute("python3", {maker, "--folder", colorDirectory, "--format", Format, "--profiles",
                                          Keys.join(','), "--brightness", "80"}) != 0) {
            throw std::runtime_error("make_panel_archive.py failed");
        }
        PanelInfo panel;
        panel.SetDefaultProfileColorSpace("sRGB");
        panel.SetRequiredProfiles(Keys);
        obtainer = std::make_unique<ProfileDataObtainer>(&configuration, &bios, nullptr, helper.get(), panel, Format);
        if (!obtainer->BuildProfileDataList()) {
            throw std::runtime_error("the set does not list");
        }
        images = folder.filePath("direct");
        QDir().mkpath(images);
    }
};

Setup& Machine()
{
    static Setup setup;
    return setup;
}

// The direct pipeline of one preview: decode, transform from the profile to sRGB, encode.
bool Direct(const QString& source, const QString& profile, const QString& output)
{
    using namespace Spectrine::Detail;
    Image image;
    std::FILE* input = std::fopen(QFile::encodeName(source).constData(), "rb");
    const bool decoded = input != nullptr && DecodeJpeg(input, image, nullptr);
    if (input != nullptr) {
        std::fclose(input);
    }
    cmsContext context = cmsCreateContext(nullptr, nullptr);
    cmsHPROFILE display = cmsOpenProfileFromFileTHR(context, QFile::encodeName(profile).constData(), "r");
    cmsHPROFILE srgb = cmsCreate_sRGBProfileTHR(context);
    cmsHTRANSFORM transform =
        cmsCreateTransformTHR(context, display, TYPE_RGB_8, srgb, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
    const bool transformed = decoded && transform != nullptr;
    if (transformed) {
        cmsDoTransform(transform, image.pixels.data(), image.pixels.data(), image.width * image.height);
        cmsDeleteTransform(transform);
    }
    cmsCloseProfile(srgb);
    cmsCloseProfile(display);
    cmsDeleteContext(context);
    std::FILE* file = std::fopen(QFile::encodeName(output).constData(), "wb");
    const bool encoded = file != nullptr && EncodeJpeg(file, image);
    return file != nullptr && std::fclose(file) == 0 && transformed && encoded;
}

// Every output of a run is a whole JPEG file of the photograph's size or more.
bool Written(const QStringList& outputs)
{
    for (const QString& output : outputs) {
        if (QFileInfo(output).size() < 20000) {
            return false;
        }
    }
    return true;
}

QString Source()
{
    return Machine().images + "/Preview.jpeg";
}

QStringList Outputs(const QString& folder)
{
    QStringList outputs;
    for (const QString& key : Keys) {
        outputs << folder + "/TransformedPreview_" + key + ".jpeg";
    }
    return outputs;
}

QString ProfilePath(const QString& key)
{
    return Machine().colorDirectory + "/" + QString(Format).replace("{ProfileName}", key);
}

void BM_RunImageTransformers(benchmark::State& state)
{
    Setup& setup = Machine();
    for (auto _ : state) {
        setup.obtainer->RunImageTransformers(true);
    }
    if (!Written(Outputs(Korvel::DisplayCalibration::Common::ApplicationDataDirectory() + "/images"))) {
        state.SkipWithError("previews missing");
    }
}

void BM_DirectOnAsManyThreads(benchmark::State& state)
{
    Setup& setup = Machine();
    for (auto _ : state) {
        // As the obtainer does with force: the outputs are new files.
        QDir(setup.images).removeRecursively();
        QDir().mkpath(setup.images);
        CopyReplacing(":/images/Preview.jpeg", Source());
        std::vector<std::thread> threads;
        for (const QString& key : Keys) {
            const QString output = setup.images + "/TransformedPreview_" + key + ".jpeg";
            threads.emplace_back([=] {
                if (key == "Native") {
                    CopyReplacing(Source(), output);
                } else {
                    Direct(Source(), ProfilePath(key), output);
                }
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
    }
    if (!Written(Outputs(setup.images))) {
        state.SkipWithError("previews missing");
    }
}

// One profile on `threads` threads at once, through the engine or directly.
template <bool Engine>
void BM_Threads(benchmark::State& state)
{
    Setup& setup = Machine();
    QDir().mkpath(setup.images);
    CopyReplacing(":/images/Preview.jpeg", Source());
    const std::string source = Source().toStdString();
    const std::string profile = ProfilePath("DCIP3").toStdString();
    QStringList outputs;
    for (int i = 0; i < state.range(0); ++i) {
        outputs << setup.images + QStringLiteral("/thread-%1.jpeg").arg(i);
    }
    for (auto _ : state) {
        // Outputs are new files, as after the obtainer empties the images folder.
        for (const QString& output : outputs) {
            QFile::remove(output);
        }
        std::vector<std::thread> threads;
        for (const QString& output : outputs) {
            const std::string destination = output.toStdString();
            threads.emplace_back([=] {
                if (Engine) {
                    KVUniStringRef strings[3] = {KVUniStringCreateFromUtf8(source.c_str()),
                                                 KVUniStringCreateFromUtf8(profile.c_str()),
                                                 KVUniStringCreateFromUtf8(destination.c_str())};
                    KVImageTransform(strings[0], strings[1], strings[2], nullptr);
                    for (KVUniStringRef string : strings) {
                        KVUniStringRelease(string);
                    }
                } else {
                    Direct(QString::fromStdString(source), QString::fromStdString(profile),
                           QString::fromStdString(destination));
                }
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    if (!Written(outputs)) {
        state.SkipWithError("previews missing");
    }
}

BENCHMARK(BM_RunImageTransformers)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DirectOnAsManyThreads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Threads<true>)->Name("BM_EngineThreads")->RangeMultiplier(2)->Range(1, 8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Threads<false>)->Name("BM_DirectThreads")->RangeMultiplier(2)->Range(1, 8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    Machine();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
