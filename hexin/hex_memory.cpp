// SPDX-License-Identifier: Apache-2.0
#include "hexin/hex_memory.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <new>

void FreeBytes::operator()(std::uint8_t* bytes) const noexcept {
  std::free(bytes);  // NOLINT(cppcoreguidelines-no-malloc): HexRun grows with realloc
}

namespace {

constexpr std::uint64_t kAddressSpace = std::uint64_t{1} << 32U;
constexpr std::size_t kFirstCapacity = 4096;

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

// Stores bytes that do not wrap: address + size <= 2^32.
void StoreWithin(HexMemory& memory, std::uint32_t address, std::span<const std::uint8_t> bytes) {
  const std::span<std::uint8_t> tail = AppendHexBytes(memory, address, bytes.size());
  if (!tail.empty()) {
    std::copy(bytes.begin(), bytes.end(), tail.begin());
    return;
  }
  auto& runs = memory.runs;
  auto target = runs.upper_bound(address);
  if (target != runs.begin() && RunEnd(*std::prev(target)) >= address) {
    --target;  // the new bytes overlap the run before them or continue it
  } else {
    target = runs.emplace_hint(target, address, HexRun{nullptr, 0, 0});
  }
  HexRun& run = target->second;
  const std::size_t offset = address - target->first;
  std::uint8_t* data = Resize(run, std::max(run.size, offset + bytes.size()));
  std::copy(bytes.begin(), bytes.end(), data + offset);

  // Runs that the grown run now overlaps were stored earlier: keep only what
  // lies beyond it. (Runs that merely touch it stay apart, so that a file
  // written backwards does not copy its data again for every record.)
  std::uint64_t end = RunEnd(*target);
  for (auto next = std::next(target); next != runs.end() && next->first < end; next = runs.erase(next)) {
    const std::uint64_t nextEnd = RunEnd(*next);
    if (nextEnd > end) {
      const auto beyond = static_cast<std::size_t>(nextEnd - end);
      const std::size_t size = run.size;
      data = Resize(run, size + beyond);
      std::copy_n(next->second.bytes.get() + (next->second.size - beyond), beyond, data + size);
      end = nextEnd;
    }
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
