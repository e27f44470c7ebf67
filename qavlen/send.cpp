#include "send.h"

#include <algorithm>
#include <cstddef>

#include "element.h"
#include "report_points.h"
#include "tzcheck.h"

Send_port::Send_port() { class_name = "Send_port"; }

Send_port::Send_port(const char* name, int number) {
  class_name = "Send_port";
  Init(name, number);
}

Send_port::~Send_port() {
  for (std::size_t k = head; k < buffer.size(); ++k) delete buffer[k];
}

Boolean Send_port::Init(const char* name, int number) { return Sender_port::Init(name, number); }

Boolean Send_port::Switch() {
  if (Sender_port::Switch() != YES) {
    Report(Send_point::switch_failed);
    return NO;
  }
  if (number_of_data_packs >= 0 || !published.empty()) {
    Report(Send_point::buffer_exists);
    return NO;
  }
  {
    Memory_site site(Send_point::buffer_memory, "List", 0, 1, this);
    buffer.reserve(16);
  }
  buffer_made = true;
  number_of_data_packs = 0;
  return YES;
}

Boolean Send_port::Are_you_ready() {
  return Sender_port::Are_you_ready() == YES && buffer_made ? YES : NO;
}

void Send_port::Creq() {
  if (Element* o = Element::Owner_element(this)) o->Creq();
}

void Send_port::Stock(Data_pack* pack) {
  TZ_CHECK(buffer_made, "send.cpp");
  if (!pack) return;
  if (head < buffer.size() && pack->Data_time() <= buffer.back()->Data_time()) {
    delete pack;  // not newer than the newest buffered pack
    return;
  }
  Memory_site site(List_point::end_node_memory, "Node", 0, 1, this);
  buffer.push_back(pack);
}

void Send_port::Publish() {
  if (!buffer_made) return;
  std::size_t held = buffer.size() - head;
  std::size_t shown = static_cast<std::size_t>(std::max(number_of_data_packs, 0));
  if (held > shown) {
    Memory_site site(List_point::item_array_memory, "void*", 0, static_cast<int>(held), this);
    for (std::size_t k = head + shown; k < buffer.size(); ++k) {
      published.push_back(buffer[k]);
      published_time.push_back(buffer[k]->Data_time());
    }
  }
  number_of_data_packs = static_cast<int>(held);
}

void Send_port::Set_data_pack_array() { Publish(); }

void Send_port::Get_data_pack_array(Data_pack* const*& array, int& n) {
  n = number_of_data_packs;
  array = n > 0 ? published.data() + published_head : nullptr;
}

Long Send_port::Oldest_data_time() {
  if (number_of_data_packs <= 0) return LONG_MAX32;
  return published_time[published_head];
}

Long Send_port::Newest_data_time() {
  if (number_of_data_packs <= 0) return LONG_MIN32;
  return published_time.back();
}

Boolean Send_port::Can_you_get_data(Long t1, Long t2) {
  if (number_of_data_packs <= 0) return NO;
  return Oldest_data_time() <= t1 && Newest_data_time() >= t2 ? YES : NO;
}

namespace {
// The index of the newest pack with a time at or before t, -1 when none
// (times strictly increase).
std::ptrdiff_t newest_at_or_before(const Long* times, int n, Long t) {
  return (std::upper_bound(times, times + n, t) - times) - 1;
}
}  // namespace

Boolean Send_port::Get_data_pack(Data_pack*& before, Long t, Data_pack*& after, char mode) {
  int n = number_of_data_packs;
  if (n <= 0) {
    before = after = nullptr;
    return NO;
  }
  Data_pack* const* a = published.data() + published_head;
  const Long* times = published_time.data() + published_head;
  Long newest = times[n - 1];
  if (newest < t) {
    after = nullptr;
    if (mode == 'b' || mode == 'l') {
      before = nullptr;
      return NO;
    }
    before = a[n - 1];
    return YES;
  }
  if (newest == t) {
    before = after = a[n - 1];
    return YES;
  }
  std::ptrdiff_t k = newest_at_or_before(times, n - 1, t);
  if (k >= 0) {
    before = a[k];
    after = times[k] == t ? a[k] : a[k + 1];
    return YES;
  }
  before = nullptr;
  if (mode == 'b' || mode == 'f') {
    after = nullptr;
    return NO;
  }
  after = a[0];
  return YES;
}

void Send_port::Forget_data_pack_stock(Long t) {
  if (protect_past_data_flag == YES || number_of_data_packs <= 0) return;
  std::ptrdiff_t i = newest_at_or_before(published_time.data() + published_head, number_of_data_packs, t);
  if (i <= 0) return;
  std::size_t released = static_cast<std::size_t>(i);
  for (std::size_t k = 0; k < released; ++k) delete buffer[head + k];
  head += released;
  published_head += released;
  number_of_data_packs -= static_cast<int>(released);
  Compact();
  Set_data_pack_array();
}

void Send_port::Compact() {
  // Each entry is moved at most once per halving of the array: amortised
  // constant cost per released pack.
  if (head >= 64 && head * 2 >= buffer.size()) {
    buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(head));
    head = 0;
  }
  if (published_head >= 64 && published_head * 2 >= published.size()) {
    auto gone = static_cast<std::ptrdiff_t>(published_head);
    published.erase(published.begin(), published.begin() + gone);
    published_time.erase(published_time.begin(), published_time.begin() + gone);
    published_head = 0;
  }
}

void Send_port::Reduce_data_pack_stock() {
  if (protect_past_data_flag == YES || number_of_data_packs <= 0) return;
  // The release point is the oldest time any receiver still needs (the
  // sender's window, LONG_MIN without owner or receivers). Nothing is
  // released unless it reaches the second published pack, so the receivers
  // are asked only until one of them needs an earlier time, starting with
  // the one that held the release back last time and going round from it:
  // with many receivers moving on one after the other, each call costs a
  // few questions, not one per receiver.
  if (number_of_data_packs < 2 || !Owner() || number_of_receivers < 1) return;
  const Long second = published_time[published_head + 1];
  const std::size_t n = receiver_array.size();
  if (laggard >= n) laggard = 0;
  Long t = LONG_MAX32;
  for (std::size_t k = 0, i = laggard; k < n; ++k, i = i + 1 == n ? 0 : i + 1) {
    Long rt = receiver_array[i]->Necessary_time_from();
    if (rt < t) t = rt;
    if (t < second) {
      laggard = i;
      return;
    }
  }
  Forget_data_pack_stock(t);
}

void Send_port::Save_send_port_stock(FILE* f) {
  Publish();
  Reduce_data_pack_stock();
  int n = std::max(number_of_data_packs, 0);
  std::fprintf(f, "(%d) # number_of_data_packs\n", n);
  for (int k = 0; k < n; ++k) {
    std::fputs("\n", f);
    published[published_head + static_cast<std::size_t>(k)]->Dpack2file(f);
  }
}

void Send_port::Clear_data_pack() {
  for (std::size_t k = head; k < buffer.size(); ++k) delete buffer[k];
  buffer.clear();
  head = 0;
  published.clear();
  published_time.clear();
  published_head = 0;
  number_of_data_packs = -1;
}
