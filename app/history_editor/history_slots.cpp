#include "history_slots.h"

#include <algorithm>
#include <utility>

namespace quillo::history_editor {

namespace {
int ClampCapacity(int capacity) { return std::clamp(capacity, 1, kMaxSlots); }
}  // namespace

HistorySlots::HistorySlots(std::vector<std::string> entries, int capacity)
    : slots_(std::move(entries)), capacity_(ClampCapacity(capacity)) {
  if (slots_.size() > static_cast<size_t>(capacity_)) slots_.resize(static_cast<size_t>(capacity_));
}

bool HistorySlots::Set(int i, std::string text) {
  if (!Valid(i)) return false;
  slots_[static_cast<size_t>(i)] = std::move(text);
  return true;
}

void HistorySlots::Add() {
  slots_.insert(slots_.begin(), std::string());
  if (slots_.size() > static_cast<size_t>(capacity_)) slots_.pop_back();
}

int HistorySlots::Delete(int selected) {
  if (!Valid(selected)) return -1;
  slots_.erase(slots_.begin() + selected);
  if (slots_.empty()) return -1;
  return std::min(selected, count() - 1);
}

int HistorySlots::Up(int selected) {
  if (!Valid(selected) || selected == 0) return selected;
  std::swap(slots_[static_cast<size_t>(selected)], slots_[static_cast<size_t>(selected - 1)]);
  return selected - 1;
}

int HistorySlots::Down(int selected) {
  if (!Valid(selected) || selected == count() - 1) return selected;
  std::swap(slots_[static_cast<size_t>(selected)], slots_[static_cast<size_t>(selected + 1)]);
  return selected + 1;
}

std::vector<std::string> HistorySlots::Compacted() const {
  std::vector<std::string> out;
  for (const auto& s : slots_) {
    if (!s.empty()) out.push_back(s);
  }
  return out;
}

void CaptureLog::Note(std::string text) {
  if (texts_.size() >= static_cast<size_t>(kMaxSlots)) texts_.erase(texts_.begin());
  texts_.push_back(std::move(text));
}

std::vector<std::string> CaptureLog::NewestFirst() const { return {texts_.rbegin(), texts_.rend()}; }

std::vector<std::string> MergeWriteBack(const std::vector<std::string>& captured, const HistorySlots& edited,
                                        int capacity) {
  const size_t limit = static_cast<size_t>(ClampCapacity(capacity));
  std::vector<std::string> out;
  for (const auto& s : captured) {
    // Equal captures can only be neighbours when something emptied the store
    // between them (Clear History, Read History); capture itself never puts
    // the newest entry twice in a row, and neither does this.
    if (out.size() < limit && !s.empty() && (out.empty() || out.back() != s)) out.push_back(s);
  }
  const std::vector<std::string> kept = edited.Compacted();
  size_t from = 0;
  if (!out.empty() && !kept.empty() && out.back() == kept.front()) from = 1;
  for (size_t i = from; i < kept.size(); ++i) {
    if (out.size() < limit) out.push_back(kept[i]);
  }
  return out;
}

}  // namespace quillo::history_editor
