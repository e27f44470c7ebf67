// Send_port: the sending port that keeps its owner's data packs in time
// order and answers its receivers from a published snapshot of them.
//
// Stock appends a pack to the buffer (the port owns it from then on); the
// owner publishes the buffer with Set_data_pack_array after a run of steps;
// receivers read the published array (oldest first, strictly increasing
// times) and ask for the packs around a time; packs that no receiver needs
// any more are released. Costs grow with the work: a publication costs the
// packs added since the last one, a release the packs released (amortised),
// a query a binary search.
#ifndef QAVLEN_SEND_H
#define QAVLEN_SEND_H

#include <cstdio>
#include <vector>

#include "datapack.h"
#include "port.h"

class Send_port : public Sender_port {
 public:
  Send_port();
  Send_port(const char* name, int number);
  ~Send_port() override;

  Boolean Init(const char* name, int number) override;
  // Switches the receivers and makes the empty pack buffer (send 31, 35).
  Boolean Switch() override;
  // 1 when switched and the pack buffer exists.
  Boolean Are_you_ready() override;
  // A receiver lacks data: the owner element's demand chain.
  void Creq() override;

  // Publication: everything buffered becomes visible to the receivers.
  void Set_data_pack_array() override;
  // The published array (borrowed; null when empty) and its count (-1
  // before Switch). The array is valid until the next publication or
  // release, the packs until the next release.
  void Get_data_pack_array(Data_pack* const*& array, int& n) override;
  int Number_of_data_packs() override { return number_of_data_packs; }
  // First / last published time; LONG_MAX / LONG_MIN when none.
  Long Oldest_data_time() override;
  Long Newest_data_time() override;
  // 1 when packs are published, the oldest at or before t1 and the newest
  // at or after t2.
  Boolean Can_you_get_data(Long t1, Long t2) override;
  // The published packs around t. Mode 'b' wants both sides of t, 'f' the
  // former (at or before t), 'l' the latter (at or after); any other mode
  // takes either. An exact hit gives the same pack twice.
  Boolean Get_data_pack(Data_pack*& before, Long t, Data_pack*& after, char mode) override;
  // Forget_data_pack_stock at the oldest time any receiver still needs.
  void Reduce_data_pack_stock() override;

  // Takes the pack: appended when it is newer than the newest buffered one,
  // deleted at once otherwise. Only after Switch.
  virtual void Stock(Data_pack* pack);
  // Restores one pack from a data string (the cursor moves past it).
  virtual void Send_by_string(char*& cursor) = 0;
  // Deletes the published packs before the newest one at or before t, then
  // republishes (nothing with the protect flag set).
  virtual void Forget_data_pack_stock(Long t);
  // The port's block of the send-port stock file.
  virtual void Save_send_port_stock(FILE* f);

  // The packs of the buffer, published or not, oldest first: their number
  // and the k-th (k below that number).
  int Number_of_stocked_packs() const { return static_cast<int>(buffer.size() - head); }
  const Data_pack* Stocked_pack(int k) const { return buffer[head + static_cast<std::size_t>(k)]; }

  // Deletes every buffered pack; the port holds nothing published (-1).
  void Clear_data_pack();
  // With 1 no pack is ever released. Returns the flag set.
  Boolean Set_protect_past_data_flag(Boolean flag) { return protect_past_data_flag = flag; }

 protected:
  // -1 until Switch, then the number of published packs.
  int number_of_data_packs = -1;
  Boolean protect_past_data_flag = NO;

 private:
  // Publishes without the virtual dispatch.
  void Publish();
  // Drops released entries from the front of the two arrays once they
  // make up most of them.
  void Compact();

  // The pack buffer: buffer[head..] are the packs held, oldest first.
  bool buffer_made = false;
  std::vector<Data_pack*> buffer;
  std::size_t head = 0;
  // The published array: published[published_head..], the oldest
  // number_of_data_packs packs of the buffer.
  std::vector<Data_pack*> published;
  // The times of the published packs, side by side, for the searches.
  std::vector<Long> published_time;
  std::size_t published_head = 0;
  // The receiver that last held a release back (asked first next time).
  std::size_t laggard = 0;
};

#endif
