#include "ZipArchive/CompressionMethods.h"

extern "C" {
#include <LzmaDec.h>
#include <LzmaEnc.h>
}

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

void* Allocate(void*, size_t size)
{
    return std::malloc(size);
}
void Release(void*, void* address)
{
    std::free(address);
}
ISzAlloc allocator{Allocate, Release};

constexpr unsigned char kSdkVersionMajor = 9;
constexpr unsigned char kSdkVersionMinor = 22;
constexpr std::size_t kHeaderSize = 4 + LZMA_PROPS_SIZE;

}  // namespace

void lzma_encoder_properties::normalize()
{
    CLzmaEncProps properties;
    LzmaEncProps_Init(&properties);
    properties.level = CompressionLevel;
    properties.numThreads = IsMultithreaded ? 2 : 1;
    LzmaEncProps_Normalize(&properties);
    CompressionLevel = properties.level;
    NumberOfThreads = properties.numThreads;
}

// Encoder ----------------------------------------------------------------------------------------

struct lzma_encoder::State {
    struct InStream {
        ISeqInStream base;
        State* state;
    };
    struct OutStream {
        ISeqOutStream base;
        State* state;
    };

    InStream in{{&State::Read}, this};
    OutStream out{{&State::Write}, this};
    CLzmaEncHandle encoder = nullptr;
    std::ostream* output = nullptr;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable changed;
    const char* pending = nullptr;
    std::size_t pendingSize = 0;
    bool ended = false;
    bool finished = false;
    std::atomic<std::uint64_t> written{0};

    static SRes Read(void* p, void* buffer, size_t* size)
    {
        State& self = *reinterpret_cast<InStream*>(p)->state;
        std::unique_lock lock(self.mutex);
        self.changed.wait(lock, [&] { return self.pendingSize > 0 || self.ended; });
        const std::size_t count = std::min(*size, self.pendingSize);
        if (count > 0) {
            std::memcpy(buffer, self.pending, count);
        }
        self.pending += count;
        self.pendingSize -= count;
        if (self.pendingSize == 0) {
            self.changed.notify_all();
        }
        *size = count;
        return SZ_OK;
    }

    static size_t Write(void* p, const void* buffer, size_t size)
    {
        State& self = *reinterpret_cast<OutStream*>(p)->state;
        if (!self.output->write(static_cast<const char*>(buffer), static_cast<std::streamsize>(size))) {
            return 0;
        }
        self.written += size;
        return size;
    }

    void Run()
    {
        LzmaEnc_Encode(encoder, &out.base, &in.base, nullptr, &allocator, &allocator);
        const std::lock_guard lock(mutex);
        finished = true;
        changed.notify_all();
    }

    void Finish()
    {
        {
            const std::lock_guard lock(mutex);
            ended = true;
            changed.notify_all();
        }
        if (thread.joinable()) {
            thread.join();
        }
    }

    ~State()
    {
        Finish();
        if (encoder) {
            LzmaEnc_Destroy(encoder, &allocator, &allocator);
        }
    }
};

lzma_encoder::lzma_encoder() = default;
lzma_encoder::~lzma_encoder() = default;

void lzma_encoder::init(std::ostream& stream, compression_encoder_properties_interface& properties)
{
    properties.normalize();
    const auto& own = static_cast<lzma_encoder_properties&>(properties);
    state.reset();
    initialised = false;
    InitBase(stream, properties.BufferCapacity);

    auto fresh = std::make_unique<State>();
    fresh->output = &stream;
    fresh->encoder = LzmaEnc_Create(&allocator);
    if (!fresh->encoder) {
        return;
    }
    CLzmaEncProps encoderProperties;
    LzmaEncProps_Init(&encoderProperties);
    encoderProperties.level = own.CompressionLevel;
    encoderProperties.numThreads = own.NumberOfThreads;
    unsigned char header[kHeaderSize] = {kSdkVersionMajor, kSdkVersionMinor, LZMA_PROPS_SIZE, 0};
    SizeT propertiesSize = LZMA_PROPS_SIZE;
    if (LzmaEnc_SetProps(fresh->encoder, &encoderProperties) != SZ_OK ||
        LzmaEnc_WriteProperties(fresh->encoder, header + 4, &propertiesSize) != SZ_OK) {
        return;
    }
    stream.write(reinterpret_cast<const char*>(header), kHeaderSize);
    bytesWritten = kHeaderSize;
    State* raw = fresh.get();
    fresh->thread = std::thread([raw] { raw->Run(); });
    state = std::move(fresh);
    initialised = true;
}

void lzma_encoder::init(std::ostream& stream)
{
    lzma_encoder_properties properties;
    init(stream, properties);
}

void lzma_encoder::encode_next(std::size_t length)
{
    if (!initialised || length == 0) {
        return;
    }
    bytesRead += length;
    std::unique_lock lock(state->mutex);
    if (state->ended) {
        return;
    }
    state->pending = input.data();
    state->pendingSize = length;
    state->changed.notify_all();
    // The buffer is reused once the encoder thread has taken all of it (or has stopped).
    state->changed.wait(lock, [&] { return state->pendingSize == 0 || state->finished; });
    state->pendingSize = 0;
}

void lzma_encoder::sync()
{
    if (!initialised || state->ended) {
        return;
    }
    state->Finish();
    bytesWritten += state->written;
}

// Decoder ----------------------------------------------------------------------------------------

struct lzma_decoder::State {
    CLzmaDec decoder;
    bool probabilitiesAllocated = false;
    // The dictionary grows with the output up to the size the stream declares.
    std::vector<Byte> dictionary;
    std::size_t dictionaryCapacity = 0;
    std::uint64_t limit = 0;
    std::size_t inputPosition = 0;
    std::size_t inputSize = 0;

    State() { LzmaDec_Construct(&decoder); }
    ~State()
    {
        if (probabilitiesAllocated) {
            LzmaDec_FreeProbs(&decoder, &allocator);
        }
    }
};

lzma_decoder::lzma_decoder() = default;
lzma_decoder::~lzma_decoder() = default;

void lzma_decoder::init(std::istream& stream, compression_decoder_properties_interface& properties)
{
    properties.normalize();
    state = std::make_unique<State>();
    InitBase(stream, properties.BufferCapacity);
    initialised = true;
    state->limit = static_cast<lzma_decoder_properties&>(properties).OutputLimit;

    unsigned char header[kHeaderSize];
    stream.read(reinterpret_cast<char*>(header), kHeaderSize);
    bytesRead += static_cast<std::uint64_t>(stream.gcount());
    CLzmaProps decoded;
    if (stream.gcount() != static_cast<std::streamsize>(kHeaderSize) ||
        LzmaProps_Decode(&decoded, header + 4, LZMA_PROPS_SIZE) != SZ_OK ||
        LzmaDec_AllocateProbs(&state->decoder, header + 4, LZMA_PROPS_SIZE, &allocator) != SZ_OK) {
        ended = true;
        return;
    }
    state->probabilitiesAllocated = true;
    state->dictionaryCapacity = std::max<std::size_t>(decoded.dicSize, 1 << 12);
    state->dictionary.resize(std::min<std::size_t>(state->dictionaryCapacity, 1 << 16));
    state->decoder.dic = state->dictionary.data();
    state->decoder.dicBufSize = state->dictionary.size();
    LzmaDec_Init(&state->decoder);
}

void lzma_decoder::init(std::istream& stream)
{
    lzma_decoder_properties properties;
    init(stream, properties);
}

std::size_t lzma_decoder::decode_next()
{
    produced = 0;
    if (!initialised || ended) {
        return 0;
    }
    if (bytesWritten >= state->limit) {
        ended = true;
        return 0;
    }
    CLzmaDec& decoder = state->decoder;
    while (produced == 0) {
        if (state->inputPosition == state->inputSize && !inputEnded) {
            state->inputSize = ReadInput();
            state->inputPosition = 0;
        }
        if (decoder.dicPos == decoder.dicBufSize) {
            if (state->dictionary.size() < state->dictionaryCapacity) {
                // Nothing has wrapped yet, so the dictionary can grow in place.
                state->dictionary.resize(std::min(state->dictionary.size() * 2, state->dictionaryCapacity));
                decoder.dic = state->dictionary.data();
                decoder.dicBufSize = state->dictionary.size();
            } else {
                decoder.dicPos = 0;
            }
        }
        const std::size_t start = decoder.dicPos;
        const std::uint64_t room = std::min<std::uint64_t>(
            {decoder.dicBufSize - start, output.size(), state->limit - bytesWritten});
        SizeT inputLength = state->inputSize - state->inputPosition;
        ELzmaStatus status;
        const SRes result = LzmaDec_DecodeToDic(&decoder, start + static_cast<SizeT>(room),
                                                reinterpret_cast<const Byte*>(buffer.data()) + state->inputPosition,
                                                &inputLength, LZMA_FINISH_ANY, &status);
        state->inputPosition += inputLength;
        produced = decoder.dicPos - start;
        std::memcpy(output.data(), state->dictionary.data() + start, produced);
        bytesWritten += produced;
        if (result != SZ_OK || status == LZMA_STATUS_FINISHED_WITH_MARK || bytesWritten >= state->limit) {
            ended = true;
            break;
        }
        if (produced == 0 && inputLength == 0 && (inputEnded || state->inputPosition < state->inputSize)) {
            // No progress: the data is truncated.
            ended = true;
            break;
        }
    }
    return produced;
}
