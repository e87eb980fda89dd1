// The deflate block walker, checked against zlib decoding the same bytes:
// both accept or both reject, and agree on the final block, end and size.
#include "engine/DeflateBlocks.h"
#include "tests/support/ZlibBlocks.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto walked = quillbank::WalkDeflateBlocks(data, size);
    const auto decoded = quillbank::testing::ZlibDeflateBlocks(data, size);
    if (walked.has_value() != decoded.has_value())
        std::abort();
    if (walked && (walked->FinalStartBit != decoded->FinalStartBit || walked->EndBit != decoded->EndBit ||
                   walked->DecodedSize != decoded->DecodedSize))
        std::abort();
    return 0;
}
