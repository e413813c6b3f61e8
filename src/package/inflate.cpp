#include "package/inflate.h"

#include <cstdint>

namespace {

// zlib accepts any version text that starts with its major version.
constexpr char kZlibVersion[] = "1.1.3";
constexpr int kRawDeflateWindowBits = -15;

int OpenRawInflate(z_stream* stream) {
  stream->zalloc = nullptr;
  stream->zfree = nullptr;
  stream->opaque = nullptr;
  stream->next_in = nullptr;
  stream->avail_in = 0;
  return inflateInit2_(stream, kRawDeflateWindowBits, kZlibVersion,
                       static_cast<int>(sizeof(z_stream)));
}

}  // namespace

int InflateToBuffer(const uint8_t* source, uint32_t sourceLength, ByteBuffer* buffer,
                    uint64_t limit) {
  // Room for one byte past the limit tells a stream that passes it.
  const int64_t most = limit < INT32_MAX ? static_cast<int64_t>(limit) + 1 : INT32_MAX;
  // Ten times the input plus 1 KB holds typical scripts and indexes in one go.
  int64_t reserve = static_cast<int64_t>(sourceLength) * 10 + 1024;
  if (reserve > most) reserve = most;
  if (!buffer->Reserve(static_cast<int32_t>(reserve))) return -1;

  z_stream stream;
  if (OpenRawInflate(&stream) != Z_OK) return -1;
  stream.next_in = const_cast<Bytef*>(source);
  stream.avail_in = sourceLength;
  stream.next_out = buffer->data;
  stream.avail_out = static_cast<uInt>(buffer->capacity);

  for (;;) {
    int result = inflate(&stream, Z_NO_FLUSH);
    buffer->length = static_cast<int32_t>(stream.total_out);
    if (static_cast<uint64_t>(buffer->length) > limit) {
      inflateEnd(&stream);
      return INFLATE_OVER_LIMIT;
    }
    if (result == Z_STREAM_END) break;
    if (result != Z_OK) {
      inflateEnd(&stream);
      return -1;
    }
    // Output space left means the input is used up: a stream cut short is
    // taken as it is.
    if (stream.avail_out != 0) break;
    // Room for twice the capacity behind a full buffer: it grows fourfold.
    int64_t room = static_cast<int64_t>(buffer->capacity) * 2;
    if (room > most - buffer->length) room = most - buffer->length;
    if (room == 0 || !buffer->EnsureRoom(static_cast<int32_t>(room))) {
      inflateEnd(&stream);
      return -1;
    }
    stream.next_out = buffer->data + buffer->length;
    stream.avail_out = static_cast<uInt>(buffer->capacity - buffer->length);
  }
  return inflateEnd(&stream) == Z_OK ? 0 : -1;
}

int InflateStreamBegin(int32_t* count, InflateStream* context, uint8_t* window) {
  context->window = window;
  context->count = count;
  context->windowCapacity = INFLATE_WINDOW_SIZE;
  *count = 0;
  context->ended = false;
  context->open = OpenRawInflate(&context->stream) == Z_OK;
  return context->open ? 0 : -1;
}

int InflateStreamStep(int32_t length, InflateStream* context, const uint8_t* input) {
  // A released stream must not reach zlib again.
  if (!context->open) return -1;
  int32_t* count = context->count;
  if (*count >= context->windowCapacity) return 0;
  if (input == nullptr || length < 0) length = 0;

  z_stream* stream = &context->stream;
  stream->next_in = const_cast<Bytef*>(input);
  stream->avail_in = static_cast<uInt>(length);
  stream->next_out = context->window + *count;
  stream->avail_out = static_cast<uInt>(context->windowCapacity - *count);

  int result = inflate(stream, Z_NO_FLUSH);
  *count = context->windowCapacity - static_cast<int32_t>(stream->avail_out);
  int32_t consumed = length - static_cast<int32_t>(stream->avail_in);

  if (result == Z_OK) return consumed;
  bool outputSpaceLeft = stream->avail_out != 0;
  context->open = false;
  int ended = inflateEnd(stream);
  context->ended = result == Z_STREAM_END;
  if (result == Z_STREAM_END) return ended == Z_OK ? length + 1 + consumed : -1;
  // With no input and room to spare, nothing more can come: the stream is
  // over with nothing consumed.
  if (length == 0 && outputSpaceLeft) return ended == Z_OK ? 1 : -1;
  return -1;
}

void InflateStreamEnd(InflateStream* context) {
  if (!context->open) return;
  context->open = false;
  inflateEnd(&context->stream);
}
