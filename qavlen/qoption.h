// Framework-wide run options.
#ifndef QOPTION_H
#define QOPTION_H

// Holds the time-control option: whether elements may step past the end of
// the current run segment (the terminal time of the total system).
class QavlenOption {
 public:
  enum TimeControlOption {
    GoBeyondTerminalTime = 0,      // the last step may pass the terminal time
    DoNotGoBeyondTerminalTime = 1  // steps are cut at the terminal time
  };

  static int tc;  // the time-control option, GoBeyondTerminalTime at start

  static int Get_time_control_option() { return tc; }
};

#endif
