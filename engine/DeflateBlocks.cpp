// Walks the blocks of a raw deflate stream without producing its output, to find where the final block
// starts.

#include "engine/DeflateBlocks.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace quillbank {

namespace {

constexpr unsigned MaxCodeLength = 15;
constexpr unsigned LiteralLengthSymbols = 288;
constexpr unsigned DistanceSymbols = 32;
constexpr unsigned CodeLengthSymbols = 19;
constexpr unsigned EndOfBlock = 256;

/// Reads the stream's bits from the lowest of each byte up. Past the end it
/// reads zero bits and counts them, so that a code can be decoded before the
/// caller learns that the stream ended too early.
class TBitReader
{
public:
    TBitReader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

    /// Makes at least 56 bits available; false once bits past the end are
    /// among them.
    bool Refill()
    {
        if (next_ + 8 <= size_) {
            std::uint64_t word = 0;
            std::memcpy(&word, data_ + next_, sizeof word);
            if constexpr (std::endian::native == std::endian::big)
                word = __builtin_bswap64(word);
            bits_ |= word << available_;
            next_ += (63 - available_) / 8;
            available_ |= 56;
            return true;
        }
        while (available_ <= 56) {
            const std::uint64_t byte = next_ < size_ ? data_[next_] : 0;
            bits_ |= byte << available_;
            ++next_;
            available_ += 8;
        }
        return next_ <= size_;
    }

    unsigned Available() const { return available_; }

    std::uint32_t Peek(unsigned count) const
    {
        return static_cast<std::uint32_t>(bits_ & ((std::uint64_t{1} << count) - 1));
    }

    void Skip(unsigned count)
    {
        bits_ >>= count;
        available_ -= count;
    }

    /// Takes up to 32 bits; at least that many must be available.
    std::uint32_t Take(unsigned count)
    {
        const std::uint32_t value = Peek(count);
        Skip(count);
        return value;
    }

    /// Bits taken from the start of the stream, counting those read past its end.
    std::uint64_t Position() const { return static_cast<std::uint64_t>(next_) * 8 - available_; }

    bool Overran() const { return Position() > static_cast<std::uint64_t>(size_) * 8; }

    /// Moves to the start of byte `offset`, dropping what was read ahead.
    void Seek(std::size_t offset)
    {
        next_ = offset;
        bits_ = 0;
        available_ = 0;
    }

    const unsigned char* Data() const { return data_; }
    std::size_t Size() const { return size_; }

private:
    const unsigned char* data_;
    std::size_t size_;
    std::size_t next_ = 0;
    std::uint64_t bits_ = 0;
    unsigned available_ = 0;
};

/// A canonical Huffman code set: codes up to `FastBits` long are found by one
/// look-up of that many bits, longer ones bit by bit from the counts.
template <unsigned FastBits>
class THuffmanCodes
{
public:
    static constexpr unsigned TableBits = FastBits;

    /// False for an over-subscribed set, and for an incomplete one unless it
    /// is empty or, when `singleCodeAllowed`, a lone one-bit code (as a
    /// block with one distance needs). A code an empty set lacks fails when
    /// it is met.
    bool Build(const std::uint8_t* lengths, unsigned symbols, bool singleCodeAllowed)
    {
        counts_.fill(0);
        unsigned longest = 0;
        for (unsigned symbol = 0; symbol < symbols; ++symbol) {
            ++counts_[lengths[symbol]];
            longest = std::max<unsigned>(longest, lengths[symbol]);
        }
        counts_[0] = 0;
        int left = 1;
        for (unsigned length = 1; length <= MaxCodeLength; ++length) {
            left = left * 2 - counts_[length];
            if (left < 0)
                return false;
        }
        if (left > 0 && longest != 0 && !(singleCodeAllowed && longest == 1))
            return false;
        std::array<std::uint16_t, MaxCodeLength + 2> offsets{};
        for (unsigned length = 1; length <= MaxCodeLength; ++length)
            offsets[length + 1] = static_cast<std::uint16_t>(offsets[length] + counts_[length]);
        for (unsigned symbol = 0; symbol < symbols; ++symbol)
            if (lengths[symbol] != 0)
                sorted_[offsets[lengths[symbol]]++] = static_cast<std::uint16_t>(symbol);

        // The look-up table is indexed by the next bits as read, that is by
        // the code reversed; each short code fills every entry it prefixes.
        fast_.fill(0);
        unsigned code = 0;
        unsigned index = 0;
        for (unsigned length = 1; length <= FastBits; ++length) {
            for (unsigned n = 0; n < counts_[length]; ++n, ++code, ++index) {
                const unsigned reversed = Reverse(code, length);
                const auto entry = static_cast<std::uint16_t>((sorted_[index] << 4) | length);
                for (unsigned fill = reversed; fill < fast_.size(); fill += 1u << length)
                    fast_[fill] = entry;
            }
            code <<= 1;
        }
        return true;
    }

    /// The symbol and code length (`symbol << 4 | length`) of a code of at
    /// most `FastBits` that `bits` start with, or 0 for a longer or missing
    /// code.
    std::uint16_t Short(std::uint32_t bits) const { return fast_[bits]; }

    /// The next symbol, or -1 when the bits are no code of the set. At least
    /// `MaxCodeLength` bits must be available.
    int Decode(TBitReader& reader) const
    {
        const std::uint16_t entry = fast_[reader.Peek(FastBits)];
        if (entry != 0) {
            reader.Skip(entry & 15u);
            return entry >> 4;
        }
        // Longer codes: extend the code a bit at a time; the codes of each
        // length follow those of the shorter lengths.
        int code = 0;
        int first = 0;
        int index = 0;
        for (unsigned length = 1; length <= MaxCodeLength; ++length) {
            code |= static_cast<int>(reader.Take(1));
            const int count = counts_[length];
            if (code - first < count)
                return sorted_[static_cast<std::size_t>(index + code - first)];
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return -1;
    }

private:
    static unsigned Reverse(unsigned code, unsigned length)
    {
        unsigned reversed = 0;
        for (unsigned i = 0; i < length; ++i)
            reversed |= ((code >> i) & 1u) << (length - 1 - i);
        return reversed;
    }

    std::array<std::uint16_t, MaxCodeLength + 1> counts_{};
    std::array<std::uint16_t, LiteralLengthSymbols> sorted_{};
    std::array<std::uint16_t, 1u << FastBits> fast_{};
};

using TLiteralLengthCodes = THuffmanCodes<12>;
using TDistanceCodes = THuffmanCodes<10>;

constexpr std::array<std::uint16_t, 29> LengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                      15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                      67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> LengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint16_t, 30> DistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<std::uint8_t, 30> DistanceExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                        6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

/// What the next `TLiteralLengthCodes::TableBits` bits of a block start
/// with, found by one look-up: a run of literals (only their count matters
/// here), a length code with the count of its extra bits and its base, or
/// the end of the block. Anything else (a longer code, a missing one, a
/// length code deflate does not define) is left to the code set's slow
/// decoding.
class TLiteralLengthSteps
{
public:
    enum EKind : std::uint32_t
    {
        Literals = 0,
        Length = 1,
        EndOfBlockCode = 2,
        Slow = 3
    };

    /// A step: the bits it takes in bits 0-4, its kind in bits 5-6, the
    /// number of literals or of extra bits in bits 8-12, a length's base
    /// from bit 16.
    static unsigned Bits(std::uint32_t step) { return step & 31u; }
    static EKind Kind(std::uint32_t step) { return static_cast<EKind>((step >> 5) & 3u); }
    static unsigned Count(std::uint32_t step) { return (step >> 8) & 31u; }
    static unsigned Base(std::uint32_t step) { return step >> 16; }

    void Build(const TLiteralLengthCodes& codes)
    {
        constexpr unsigned Width = TLiteralLengthCodes::TableBits;
        for (std::uint32_t bits = 0; bits < steps_.size(); ++bits) {
            // As many whole literal codes as the bits hold.
            unsigned taken = 0;
            unsigned literals = 0;
            for (;;) {
                const std::uint16_t entry = codes.Short(bits >> taken);
                const unsigned length = entry & 15u;
                if (entry == 0 || taken + length > Width || (entry >> 4) >= EndOfBlock)
                    break;
                taken += length;
                ++literals;
            }
            const std::uint16_t first = codes.Short(bits);
            const unsigned symbol = first >> 4;
            if (literals > 0)
                steps_[bits] = Step(taken, Literals, literals, 0);
            else if (first == 0)
                steps_[bits] = Step(0, Slow, 0, 0);
            else if (symbol == EndOfBlock)
                steps_[bits] = Step(first & 15u, EndOfBlockCode, 0, 0);
            else if (symbol - EndOfBlock - 1 < LengthBase.size())
                steps_[bits] = Step(first & 15u, Length, LengthExtra[symbol - EndOfBlock - 1],
                                    LengthBase[symbol - EndOfBlock - 1]);
            else
                steps_[bits] = Step(0, Slow, 0, 0);
        }
    }

    std::uint32_t Next(const TBitReader& reader) const
    {
        return steps_[reader.Peek(TLiteralLengthCodes::TableBits)];
    }

private:
    static std::uint32_t Step(unsigned bits, EKind kind, unsigned count, unsigned base)
    {
        return bits | (static_cast<std::uint32_t>(kind) << 5) | (count << 8) | (base << 16);
    }

    std::array<std::uint32_t, 1u << TLiteralLengthCodes::TableBits> steps_{};
};

/// The codes of the block being walked.
struct TBlockCodes
{
    TLiteralLengthCodes literals;
    TDistanceCodes distances;
    TLiteralLengthSteps steps;

    /// False when either code set is not valid; `incompleteAllowed` as for
    /// `THuffmanCodes::Build`.
    bool Build(const std::uint8_t* literalLengths, unsigned literalCount, const std::uint8_t* distanceLengths,
               unsigned distanceCount, bool incompleteAllowed)
    {
        if (!literals.Build(literalLengths, literalCount, incompleteAllowed) ||
            !distances.Build(distanceLengths, distanceCount, incompleteAllowed))
            return false;
        steps.Build(literals);
        return true;
    }
};

/// Takes a match's length extra bits (`extra` of them after `base`) and its
/// distance, which must not reach before the start of the output, and counts
/// its length into `decoded`. At least 41 bits must be available.
bool TakeMatch(TBitReader& reader, const TDistanceCodes& distances, unsigned base, unsigned extra,
               std::uint64_t& decoded)
{
    const std::uint32_t length = base + reader.Take(extra);
    const int distanceCode = distances.Decode(reader);
    if (distanceCode < 0 || static_cast<std::size_t>(distanceCode) >= DistanceBase.size())
        return false;
    const auto index = static_cast<std::size_t>(distanceCode);
    const std::uint32_t distance = DistanceBase[index] + reader.Take(DistanceExtra[index]);
    if (distance > decoded)
        return false;
    decoded += length;
    return true;
}

/// Follows the codes of one block up to its end-of-block code, counting the
/// bytes they stand for into `decoded`.
bool WalkCodes(TBitReader& blockReader, const TBlockCodes& codes, std::uint64_t& decoded)
{
    // Enough bits for the longest length code with its extra bits (15 + 5)
    // and the longest distance code with its extra bits (15 + 13).
    constexpr unsigned LongestMatch = 48;
    using Steps = TLiteralLengthSteps;
    // A local copy stays in registers through the loop.
    TBitReader reader = blockReader;
    const auto finish = [&](bool valid) {
        blockReader = reader;
        return valid;
    };
    for (;;) {
        if (!reader.Refill() && reader.Overran())
            return finish(false);
        // Runs of literals, the most common steps, are taken while the
        // refill lasts.
        std::uint32_t step = codes.steps.Next(reader);
        while (Steps::Kind(step) == Steps::Literals) {
            reader.Skip(Steps::Bits(step));
            decoded += Steps::Count(step);
            if (reader.Available() < TLiteralLengthCodes::TableBits)
                break;
            step = codes.steps.Next(reader);
        }
        if (Steps::Kind(step) == Steps::Literals)
            continue;
        if (reader.Available() < LongestMatch && !reader.Refill() && reader.Overran())
            return finish(false);
        if (Steps::Kind(step) == Steps::Length) {
            reader.Skip(Steps::Bits(step));
            if (!TakeMatch(reader, codes.distances, Steps::Base(step), Steps::Count(step), decoded))
                return finish(false);
            continue;
        }
        if (Steps::Kind(step) == Steps::EndOfBlockCode) {
            reader.Skip(Steps::Bits(step));
            return finish(!reader.Overran());
        }
        // A code longer than the table, or none at all.
        const int symbol = codes.literals.Decode(reader);
        if (symbol < 0)
            return finish(false);
        if (symbol < static_cast<int>(EndOfBlock)) {
            ++decoded;
            continue;
        }
        if (symbol == static_cast<int>(EndOfBlock))
            return finish(!reader.Overran());
        const auto lengthCode = static_cast<std::size_t>(symbol) - EndOfBlock - 1;
        if (lengthCode >= LengthBase.size() ||
            !TakeMatch(reader, codes.distances, LengthBase[lengthCode], LengthExtra[lengthCode], decoded))
            return finish(false);
    }
}

bool BuildFixedCodes(TBlockCodes& codes)
{
    std::array<std::uint8_t, LiteralLengthSymbols> lengths{};
    std::fill(lengths.begin(), lengths.begin() + 144, 8);
    std::fill(lengths.begin() + 144, lengths.begin() + 256, 9);
    std::fill(lengths.begin() + 256, lengths.begin() + 280, 7);
    std::fill(lengths.begin() + 280, lengths.end(), 8);
    std::array<std::uint8_t, DistanceSymbols> distanceLengths{};
    distanceLengths.fill(5);
    return codes.Build(lengths.data(), LiteralLengthSymbols, distanceLengths.data(), DistanceSymbols, false);
}

/// Reads the code sets a dynamic block starts with.
bool ReadDynamicCodes(TBitReader& reader, TBlockCodes& codes)
{
    static constexpr std::array<std::uint8_t, CodeLengthSymbols> Order = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                                          11, 4,  12, 3, 13, 2, 14, 1, 15};
    reader.Refill();
    const unsigned literalCount = reader.Take(5) + 257;
    const unsigned distanceCount = reader.Take(5) + 1;
    const unsigned lengthCodeCount = reader.Take(4) + 4;
    if (literalCount > 286 || distanceCount > 30)
        return false;
    std::array<std::uint8_t, CodeLengthSymbols> lengthCodeLengths{};
    for (unsigned i = 0; i < lengthCodeCount; ++i) {
        reader.Refill();
        lengthCodeLengths[Order[i]] = static_cast<std::uint8_t>(reader.Take(3));
    }
    THuffmanCodes<7> lengthCodes;
    if (!lengthCodes.Build(lengthCodeLengths.data(), CodeLengthSymbols, false))
        return false;

    std::array<std::uint8_t, LiteralLengthSymbols + DistanceSymbols> lengths{};
    const unsigned total = literalCount + distanceCount;
    unsigned filled = 0;
    while (filled < total) {
        reader.Refill();
        if (reader.Overran())
            return false;
        const int symbol = lengthCodes.Decode(reader);
        if (symbol < 0)
            return false;
        if (symbol < 16) {
            lengths[filled++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        std::uint8_t repeated = 0;
        unsigned times = 0;
        if (symbol == 16) {
            if (filled == 0)
                return false;
            repeated = lengths[filled - 1];
            times = 3 + reader.Take(2);
        } else if (symbol == 17) {
            times = 3 + reader.Take(3);
        } else {
            times = 11 + reader.Take(7);
        }
        if (filled + times > total)
            return false;
        std::fill_n(lengths.begin() + filled, times, repeated);
        filled += times;
    }
    if (lengths[EndOfBlock] == 0)
        return false;
    return codes.Build(lengths.data(), literalCount, lengths.data() + literalCount, distanceCount, true);
}

/// Skips a stored block whose three header bits were read.
bool SkipStoredBlock(TBitReader& reader, std::uint64_t& decoded)
{
    const std::uint64_t start = (reader.Position() + 7) / 8;
    if (start + 4 > reader.Size())
        return false;
    const unsigned char* header = reader.Data() + start;
    const unsigned length = header[0] | (header[1] << 8);
    const unsigned check = header[2] | (header[3] << 8);
    if ((length ^ 0xFFFFu) != check || start + 4 + length > reader.Size())
        return false;
    reader.Seek(static_cast<std::size_t>(start + 4 + length));
    decoded += length;
    return true;
}

} // namespace

std::optional<TDeflateBlocks> WalkDeflateBlocks(const unsigned char* data, std::size_t size)
{
    TBitReader reader(data, size);
    TBlockCodes codes;
    TDeflateBlocks blocks;
    bool final = false;
    while (!final) {
        const std::uint64_t start = reader.Position();
        reader.Refill();
        final = reader.Take(1) != 0;
        const std::uint32_t type = reader.Take(2);
        bool valid = false;
        if (type == 0)
            valid = SkipStoredBlock(reader, blocks.DecodedSize);
        else if (type == 1)
            valid = BuildFixedCodes(codes) && WalkCodes(reader, codes, blocks.DecodedSize);
        else if (type == 2)
            valid = ReadDynamicCodes(reader, codes) && WalkCodes(reader, codes, blocks.DecodedSize);
        if (!valid || reader.Overran())
            return std::nullopt;
        if (final)
            blocks.FinalStartBit = start;
    }
    blocks.EndBit = reader.Position();
    return blocks;
}

} // namespace quillbank
