#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/splash.h"

namespace hanamizu::fakes {

// A splash window that records what is done to it; "events" lists the calls in order.
class FakeSplashWindow : public SplashWindow {
 public:
  TwipsSize outer_size{5715, 2010};
  float left = 0;
  float top = 0;
  std::string title_label = " V4";
  std::string status_label = "起動中";
  uintptr_t handle = 0x1234;
  bool shown = false;
  bool unloaded = false;
  std::vector<std::string> events;
  // Also receives every event, as "splash <event>", when set.
  std::vector<std::string>* journal = nullptr;

  TwipsSize OuterSize() override { return outer_size; }
  void MoveLeft(float left_twips) override {
    left = left_twips;
    Record("MoveLeft");
  }
  void MoveTop(float top_twips) override {
    top = top_twips;
    Record("MoveTop");
  }
  std::string TitleLabelText() override { return title_label; }
  void SetTitleLabelText(const std::string& text) override {
    title_label = text;
    Record("Label1=" + text);
  }
  void SetStatusText(const std::string& text) override {
    status_label = text;
    Record("lblKidochu=" + text);
  }
  void ShowModeless() override {
    shown = true;
    Record("Show");
  }
  void Repaint() override { Record("Repaint"); }
  uintptr_t Handle() override { return handle; }
  void Unload() override {
    unloaded = true;
    Record("Unload");
  }

 private:
  void Record(const std::string& event) {
    events.push_back(event);
    if (journal) journal->push_back("splash " + event);
  }
};

// What the code under test holds: forwards to a FakeSplashWindow that outlives it, so tests can
// look at the window after the code let go of it (or the process "ended").
class FakeSplashHandle : public SplashWindow {
 public:
  explicit FakeSplashHandle(FakeSplashWindow& window) : window_(window) {}
  TwipsSize OuterSize() override { return window_.OuterSize(); }
  void MoveLeft(float left_twips) override { window_.MoveLeft(left_twips); }
  void MoveTop(float top_twips) override { window_.MoveTop(top_twips); }
  std::string TitleLabelText() override { return window_.TitleLabelText(); }
  void SetTitleLabelText(const std::string& text) override { window_.SetTitleLabelText(text); }
  void SetStatusText(const std::string& text) override { window_.SetStatusText(text); }
  void ShowModeless() override { window_.ShowModeless(); }
  void Repaint() override { window_.Repaint(); }
  uintptr_t Handle() override { return window_.Handle(); }
  void Unload() override { window_.Unload(); }

 private:
  FakeSplashWindow& window_;
};

}  // namespace hanamizu::fakes
