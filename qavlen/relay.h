// Relay ports: pass one sender's data on to receivers of their own.
//
// A relay has one sender, like a receiving port, and any number of
// receivers, like a sending port, but holds no packs: every data question
// and every demand that reaches it goes on to its sender, so the receivers
// behind a relay read the real sender's published packs. The sender sees
// the relay as one of its receivers; the relay's time window is that of its
// own receivers, so the sender's release waits for the slowest of them.
#ifndef QAVLEN_RELAY_H
#define QAVLEN_RELAY_H

#include <cstdio>

#include "port.h"
#include "tzdefs.h"

class Relay_port : public Sender_port {
 public:
  Relay_port();
  Relay_port(const char* name, int number);
  ~Relay_port() override;

  Boolean Init(const char* name, int number) override;
  // Accepts one sender (a sending port or another relay) of the same type
  // name: 1; refuses a missing sender (relay 28), a second sender (relay 35)
  // and one of another type (relay 50) with a report and 0.
  Boolean Set_sender(Port* sender) override;
  // 1 when a sender is set and the relay is switched.
  Boolean Are_you_ready() override;

  // Forwarded to the sender, unchanged; valid on a connected relay only.
  void Creq() override;
  void Set_data_pack_array() override;
  Boolean Can_you_get_data(Long t1, Long t2) override;
  void Get_data_pack_array(Data_pack* const*& array, int& n) override;
  Long Oldest_data_time() override;
  Long Newest_data_time() override;
  int Number_of_data_packs() override;
  Boolean Get_data_pack(Data_pack*& before, Long t, Data_pack*& after, char mode) override;
  void Reduce_data_pack_stock() override;

  // The relay, its sender (or "\tNot connected to sender."), the line
  // "\tNot connected to receiver." when it has none, then its receivers.
  void Print_connection(FILE* f, const char* prefix) override;

  Port* Sender() const { return sender; }

 protected:
  Port* sender = nullptr;
};

template <class T>
class Relay : public Relay_port, public Port_type<T> {
 public:
  Relay() { class_name = "Relay"; }
  Relay(const char* name, int number) : Relay_port(name, number) { class_name = "Relay"; }

  Boolean Init(const char* name, int number) override { return Relay_port::Init(name, number); }
  const char* Data_pack_type() const override { return Port_type<T>::data_pack_type; }
  Port* NewPort() override { return new Relay<T>(); }
};

extern template class Relay<double>;
extern template class Relay<float>;
extern template class Relay<int>;
extern template class Relay<TzLong>;
extern template class Relay<QavlenString>;
extern template class Relay<Vary<double> >;
extern template class Relay<Vary<float> >;
extern template class Relay<Vary<int> >;
extern template class Relay<Vary<TzLong> >;
extern template class Relay<TzMatrix<double> >;
extern template class Relay<TzMatrix<float> >;
extern template class Relay<TzMatrix<int> >;
extern template class Relay<TzMatrix<TzLong> >;

#endif
