#include "driver/port/SetupDialogLogic.h"

namespace zel {

namespace {

// The settings' texts behind the fields, in the fields' order.
constexpr std::array<std::string PortSettings::*, SetupFieldCount> FieldText = {
    &PortSettings::PortNumber, &PortSettings::TransferRate,  &PortSettings::StopBits,
    &PortSettings::Paritet,    &PortSettings::LatencyPeriod, &PortSettings::DTRControl,
    &PortSettings::RTSControl};

const char* TextOf(const char* item) { return item; }
template <typename Meaning>
const char* TextOf(const Choice<Meaning>& item) {
  return item.text;
}

template <typename Items>
std::vector<std::string> TextsOf(const Items& items) {
  std::vector<std::string> texts;
  for (const auto& item : items) texts.emplace_back(TextOf(item));
  return texts;
}

}  // namespace

std::vector<std::string> SetupFieldItems(SetupField field, std::vector<std::string> devices) {
  switch (field) {
    case SetupField::PortNumber: {
      // The fixed four keep their places; the adapters present follow, so that none must be
      // typed.
      std::vector<std::string> ports = TextsOf(PortNumberItems);
      for (std::string& device : devices) ports.push_back(std::move(device));
      return ports;
    }
    case SetupField::TransferRate:
      return TextsOf(TransferRateItems);
    case SetupField::StopBits:
      return TextsOf(StopBitsItems);
    case SetupField::Paritet:
      return TextsOf(ParitetItems);
    case SetupField::LatencyPeriod:
      return TextsOf(LatencyPeriodItems);
    case SetupField::DTR:
    case SetupField::RTS:
      return TextsOf(LineControlItems);
  }
  return {};
}

bool SetupDialogLogic::Edit(PortSettings& settings) {
  SetupFieldTexts texts;
  for (int i = 0; i < SetupFieldCount; ++i) texts[i] = settings.*FieldText[i];
  view_.SetFieldTexts(texts);
  // What the window made of them: a text it cannot show comes back changed without the user.
  const SetupFieldTexts offered = view_.FieldTexts();

  // After a false the view may have been destroyed, and this object with it.
  if (!view_.RunModal()) return false;

  const SetupFieldTexts chosen = view_.FieldTexts();
  for (int i = 0; i < SetupFieldCount; ++i)
    if (chosen[i] != offered[i]) settings.*FieldText[i] = chosen[i];
  return true;
}

}  // namespace zel
