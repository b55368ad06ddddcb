// SPDX-License-Identifier: Apache-2.0
#include "hexin/hex_memory.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <map>
#include <new>

void FreeBytes::operator()(std::uint8_t* bytes) const noexcept {
  std::free(bytes);  // NOLINT(cppcoreguidelines-no-malloc): HexRun grows with realloc
}

namespace {

constexpr std::uint64_t kAddressSpace = std::uint64_t{1} << 32U;
// A run grows by doubling, from a capacity of its first bytes: a file of
// many small scattered records costs about its data, not a page a record.
constexpr std::size_t kFirstCapacity = 16;

using RunEntry = std::pair<const std::uint32_t, HexRun>;

std::uint64_t RunEnd(const RunEntry& run) {
  return run.first + std::uint64_t{run.second.size};
}

// Sets the run's size, keeping its bytes; the bytes added are not cleared.
// Returns the start of the run's bytes.
std::uint8_t* Resize(HexRun& run, std::size_t size) {
  if (size > run.capacity) {
    const std::size_t capacity = std::max({size, 2 * run.capacity, kFirstCapacity});
    // NOLINTNEXTLINE(cppcoreguidelines-no-malloc): realloc is the point, see HexRun
    auto* grown = static_cast<std::uint8_t*>(std::realloc(run.bytes.get(), capacity));
    if (grown == nullptr) {
      throw std::bad_alloc();
    }
    [[maybe_unused]] std::uint8_t* const moved = run.bytes.release();  // realloc freed or kept it
    run.bytes.reset(grown);
    run.capacity = capacity;
  }
  run.size = size;
  return run.bytes.get();
}

// Stores the bytes of a stretch that no run holds yet: at the end of the
// run before it when that run ends where the stretch begins, else as a run
// of their own. Returns the run that now holds them.
std::map<std::uint32_t, HexRun>::iterator StoreInGap(std::map<std::uint32_t, HexRun>& runs,
                                                     std::map<std::uint32_t, HexRun>::iterator before,
                                                     std::uint32_t address,
                                                     std::span<const std::uint8_t> bytes) {
  if (before != runs.end() && RunEnd(*before) == address) {
    HexRun& run = before->second;
    const std::size_t size = run.size;
    std::copy(bytes.begin(), bytes.end(), Resize(run, size + bytes.size()) + size);
    return before;
  }
  const auto gap = runs.emplace(address, HexRun{nullptr, 0, 0}).first;
  std::copy(bytes.begin(), bytes.end(), Resize(gap->second, bytes.size()));
  return gap;
}

// Stores bytes that do not wrap: address + size <= 2^32. Where runs already
// hold some of the addresses, the new bytes are written over them in place;
// only the stretches between them are added. No run is ever copied into
// another, so a file written backwards, each record overlapping the one
// before, costs time in proportion to its size.
void StoreWithin(HexMemory& memory, std::uint32_t address, std::span<const std::uint8_t> bytes) {
  const std::span<std::uint8_t> tail = AppendHexBytes(memory, address, bytes.size());
  if (!tail.empty()) {
    std::copy(bytes.begin(), bytes.end(), tail.begin());
    return;
  }
  auto& runs = memory.runs;
  const std::uint64_t end = address + std::uint64_t{bytes.size()};
  std::uint64_t cursor = address;
  // `before`: the last run that starts at or below `address`; when it holds
  // `address`, the new bytes begin inside it.
  auto next = runs.upper_bound(address);
  auto before = next == runs.begin() ? runs.end() : std::prev(next);
  if (before != runs.end() && RunEnd(*before) > address) {
    next = before;
  }
  // The offset of `cursor` in `bytes`, below bytes.size(): it fits a size_t
  // on 32-bit systems too.
  const auto offsetOf = [address](std::uint64_t at) { return static_cast<std::size_t>(at - address); };
  for (; cursor < end && next != runs.end() && next->first < end; ++next) {
    if (next->first > cursor) {
      const auto gap = static_cast<std::size_t>(next->first - cursor);
      before =
          StoreInGap(runs, before, static_cast<std::uint32_t>(cursor), bytes.subspan(offsetOf(cursor), gap));
      cursor = next->first;
    }
    const std::uint64_t overlapEnd = std::min(end, RunEnd(*next));
    if (overlapEnd > cursor) {
      std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offsetOf(cursor)), overlapEnd - cursor,
                  next->second.bytes.get() + (cursor - next->first));
      cursor = overlapEnd;
    }
    before = next;
  }
  if (cursor < end) {
    StoreInGap(runs, before, static_cast<std::uint32_t>(cursor), bytes.subspan(offsetOf(cursor)));
  }
}

}  // namespace

std::span<std::uint8_t> AppendHexBytes(HexMemory& memory, std::uint32_t address, std::size_t size) {
  if (memory.runs.empty() || size == 0 || address + std::uint64_t{size} > kAddressSpace) {
    return {};
  }
  auto& [lastStart, lastRun] = *memory.runs.rbegin();
  const std::size_t used = lastRun.size;
  if (lastStart + std::uint64_t{used} != address) {
    return {};
  }
  return {Resize(lastRun, used + size) + used, size};
}

void StoreHexBytes(HexMemory& memory, std::uint32_t address, std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) {
    return;
  }
  // Bytes that run past 2^32 continue at address 0.
  const auto room = static_cast<std::size_t>(std::min<std::uint64_t>(kAddressSpace - address, bytes.size()));
  StoreWithin(memory, address, bytes.first(room));
  if (room < bytes.size()) {
    StoreWithin(memory, 0, bytes.subspan(room));
  }
}

std::size_t ReadHexRange(const HexMemory& memory, std::uint32_t address, std::span<std::uint8_t> out) {
  std::fill_n(out.data(), out.size(), std::uint8_t{0xFF});
  std::size_t present = 0;
  std::size_t done = 0;
  while (done < out.size()) {
    // One pass per stretch that does not wrap past 2^32.
    const auto start = static_cast<std::uint32_t>(address + done);
    const auto length =
        static_cast<std::size_t>(std::min<std::uint64_t>(kAddressSpace - start, out.size() - done));
    const std::uint64_t end = std::uint64_t{start} + length;
    auto run = memory.runs.upper_bound(start);
    if (run != memory.runs.begin()) {
      --run;
    }
    for (; run != memory.runs.end() && run->first < end; ++run) {
      const std::uint64_t from = std::max<std::uint64_t>(run->first, start);
      const std::uint64_t to = std::min(RunEnd(*run), end);
      if (from < to) {
        std::copy_n(run->second.bytes.get() + (from - run->first), to - from,
                    out.data() + done + (from - start));
        present += static_cast<std::size_t>(to - from);
      }
    }
    done += length;
  }
  return present;
}

std::span<const std::uint8_t> HexBytesInPlace(const HexMemory& memory, std::uint32_t address,
                                              std::size_t length) {
  auto run = memory.runs.upper_bound(address);
  if (run == memory.runs.begin() || RunEnd(*std::prev(run)) < address + std::uint64_t{length}) {
    return {};
  }
  --run;
  return {run->second.bytes.get() + (address - run->first), length};
}

std::size_t HexByteCount(const HexMemory& memory) {
  std::size_t count = 0;
  for (const auto& run : memory.runs) {
    count += run.second.size;
  }
  return count;
}
