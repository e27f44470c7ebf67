// Ports: the only way values pass between elements.
//
// A sending port collects the time-stamped data packs of its owner and
// publishes them; any number of receiving ports may connect to one sender.
// A receiving port holds no data: it forwards every data question, and every
// demand for more data, to its one sender. Two ports connect only when the
// names of their value types are equal. After the connections are made,
// Switch freezes each sender's receivers into an array.
//
// Class tree (single public inheritance; a typed port derives from its
// untyped class first and from Port_type<T> second):
//   Object > Port > Sender_port > Send_port > Send<T>, file input ports
//                               > Relay_port > Relay<T>
//                 > Receive_port > Receive<T>, ReceiveNointp<T>, output ports
// The owner of a port is the element that registered it.
#ifndef QAVLEN_PORT_H
#define QAVLEN_PORT_H

#include <cstdio>
#include <memory>
#include <vector>

#include "common.h"
#include "list.h"
#include "object.h"
#include "tzdefs.h"

class Data_pack;
class Receive_port;
class QavlenString;
template <class T>
class Vary;
template <class T>
class TzMatrix;

// The name of a port value type. Exists for the thirteen value types only.
template <class T>
struct Port_type;
#define QAVLEN_PORT_TYPE(T, NAME)                       \
  template <>                                           \
  struct Port_type<T> {                                 \
    static constexpr const char* data_pack_type = NAME; \
  }
QAVLEN_PORT_TYPE(double, "double");
QAVLEN_PORT_TYPE(float, "float");
QAVLEN_PORT_TYPE(int, "int");
QAVLEN_PORT_TYPE(TzLong, "long");
QAVLEN_PORT_TYPE(QavlenString, "QavlenString");
QAVLEN_PORT_TYPE(Vary<double>, "Vdary");
QAVLEN_PORT_TYPE(Vary<float>, "Vfary");
QAVLEN_PORT_TYPE(Vary<int>, "Viary");
QAVLEN_PORT_TYPE(Vary<TzLong>, "Vlary");
QAVLEN_PORT_TYPE(TzMatrix<double>, "TzDMatrix");
QAVLEN_PORT_TYPE(TzMatrix<float>, "TzFMatrix");
QAVLEN_PORT_TYPE(TzMatrix<int>, "TzIMatrix");
QAVLEN_PORT_TYPE(TzMatrix<TzLong>, "TzLMatrix");
#undef QAVLEN_PORT_TYPE

class Port : public Object {
 public:
  Port();
  Port(const char* name, int number);
  ~Port() override;
  Port(const Port&) = delete;
  Port& operator=(const Port&) = delete;

  // "<prefix><class word><<type name>> <name> <number> \n"
  void Cprint(FILE* f, const char* prefix) const override;
  using Object::Cprint;  // the form to the standard error stream
  Boolean Init(const char* name, int number) override;

  // The type name of the typed port classes. While only the untyped part
  // of a port is built (a report from its named constructor), there is none.
  virtual const char* Data_pack_type() const { return ""; }
  // Stubs for the classes that do not support the operation: report
  // (port 22, 33, 44) and 0.
  virtual Boolean Set_sender(Port* sender);
  virtual Boolean Register_receiver(Port* receiver);
  virtual Boolean Switch();
  virtual Boolean Are_you_ready() = 0;
  // A receiver lacks data; a plain port does nothing.
  virtual void Creq();
  // Data operations (answered by the sending port).
  virtual void Set_data_pack_array() = 0;
  virtual Boolean Can_you_get_data(Long t1, Long t2) = 0;
  virtual void Get_data_pack_array(Data_pack* const*& array, int& n) = 0;
  virtual Long Oldest_data_time() = 0;
  virtual Long Newest_data_time() = 0;
  virtual int Number_of_data_packs() = 0;
  virtual Boolean Get_data_pack(Data_pack*& before, Long t, Data_pack*& after, char mode) = 0;
  virtual Long Necessary_time_from() = 0;
  virtual Long Necessary_time_to() = 0;
  virtual void Reduce_data_pack_stock() = 0;
  virtual void Print_connection(FILE* f, const char* prefix);
  // A new default-constructed port of the same class and type.
  virtual Port* NewPort() = 0;
};

class Sender_port : public Port {
 public:
  Sender_port();
  Sender_port(const char* name, int number);
  ~Sender_port() override;

  Boolean Init(const char* name, int number) override;
  // Adds a receiver while collecting (sender 30, 42, 52, 63 refuse); the
  // same receiver twice is kept once.
  Boolean Register_receiver(Port* receiver) override;
  // Freezes the receivers into an array, once (sender 81 refuses a second).
  Boolean Switch() override;
  // 1 once switched.
  Boolean Are_you_ready() override;
  // The oldest time any receiver still needs (LONG_MIN without owner or
  // receivers) and the newest any wants (LONG_MAX without).
  Long Necessary_time_from() override;
  Long Necessary_time_to() override;
  void Print_connection(FILE* f, const char* prefix) override;

  // Free text describing the data, kept as an own copy (null: none).
  void Set_comment_string(const char* s);
  // A new copy for the caller, or null when there is none.
  std::unique_ptr<char[]> Get_comment_string() const;

  // -1 until Switch, then the number of receivers.
  int Number_of_receivers() const { return number_of_receivers; }
  Port* Receiver(int i) const { return receiver_array[static_cast<std::size_t>(i)]; }

 protected:
  // The receivers while collecting; null after Switch.
  std::unique_ptr<List> buffer_list;
  std::vector<Port*> receiver_array;
  int number_of_receivers = -1;

 private:
  void Make_receiver_list(bool named);
  std::unique_ptr<char[]> comment_string;
};

class Receive_port : public Port {
 public:
  Receive_port();
  Receive_port(const char* name, int number);
  ~Receive_port() override;

  Boolean Init(const char* name, int number) override;
  // Accepts one sender of the same type name (receive 30, 37, 52 refuse).
  Boolean Set_sender(Port* sender) override;
  Boolean Switch() override { return YES; }
  // 1 once connected.
  Boolean Are_you_ready() override { return sender ? YES : NO; }

  // Forwarded to the sender; on a port without sender a failed check stops
  // the program.
  void Creq() override;
  void Set_data_pack_array() override;
  Boolean Can_you_get_data(Long t1, Long t2) override;
  void Get_data_pack_array(Data_pack* const*& array, int& n) override;
  Long Oldest_data_time() override;
  Long Newest_data_time() override;
  int Number_of_data_packs() override;
  Boolean Get_data_pack(Data_pack*& before, Long t, Data_pack*& after, char mode) override;
  void Reduce_data_pack_stock() override;

  // The owner element's window for this port; LONG_MIN and LONG_MAX when
  // the port has no element as owner.
  Long Necessary_time_from() override;
  Long Necessary_time_to() override;
  void Print_connection(FILE* f, const char* prefix) override;

  Port* Sender() const { return sender; }

 protected:
  Port* sender = nullptr;

 private:
  Port& Connected_sender() const;
};

#endif
