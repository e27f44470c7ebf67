// Data_pack: one time-stamped value, the unit that ports carry. Send ports
// own the packs they stock and delete them through this base; receivers
// only read them. The value and its text forms are Data<T>'s (p_tmp.h).
#ifndef QAVLEN_DATAPACK_H
#define QAVLEN_DATAPACK_H

#include <cstdio>

#include "tzdefs.h"

class Data_pack {
 public:
  Data_pack() = default;
  virtual ~Data_pack();
  Data_pack(const Data_pack&) = default;
  Data_pack& operator=(const Data_pack&) = default;

  // Data form (the send-port stock file): every number on its own
  // bracketed line.
  virtual void Dpack2file(FILE* f) = 0;
  // Output form (time-series files): the time, a blank and the value, no
  // line end.
  virtual void Dpack2ofile(FILE* f) = 0;
  // Reading form: the time and the value from the item list at the cursor,
  // which moves past the items used.
  virtual void Dstr2dpack(char*& cursor) = 0;

  Long Data_time() const { return data_time; }
  void Set_data_time(Long t) { data_time = t; }

 protected:
  Long data_time = 0;
};

// Clear function of a pack buffer: deletes one pack; a null item is ignored.
void Clf_dp(void* pack);

#endif
