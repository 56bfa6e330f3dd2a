#pragma once

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

  TwipsSize OuterSize() override { return outer_size; }
  void MoveLeft(float left_twips) override {
    left = left_twips;
    events.push_back("MoveLeft");
  }
  void MoveTop(float top_twips) override {
    top = top_twips;
    events.push_back("MoveTop");
  }
  std::string TitleLabelText() override { return title_label; }
  void SetTitleLabelText(const std::string& text) override {
    title_label = text;
    events.push_back("Label1=" + text);
  }
  void SetStatusText(const std::string& text) override {
    status_label = text;
    events.push_back("lblKidochu=" + text);
  }
  void ShowModeless() override {
    shown = true;
    events.push_back("Show");
  }
  void Repaint() override { events.push_back("Repaint"); }
  uintptr_t Handle() override { return handle; }
  void Unload() override {
    unloaded = true;
    events.push_back("Unload");
  }
};

}  // namespace hanamizu::fakes
