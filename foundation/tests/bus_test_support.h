#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "foundation/bus.h"

// Records bus alerts instead of showing the modal box, for one test at a time.
class BusAlertRecorder {
 public:
  struct Alert {
    std::string caption;
    std::string text;
  };

  BusAlertRecorder() {
    Alerts().clear();
    previous_ = SetBusAlertFunc(&Record);
  }
  ~BusAlertRecorder() { SetBusAlertFunc(previous_); }

  static std::vector<Alert>& Alerts() {
    static std::vector<Alert> alerts;
    return alerts;
  }

 private:
  static void Record(const char* caption, const char* text) {
    Alerts().push_back(Alert{caption, text});
  }

  CxBusAlertFunc previous_;
};
