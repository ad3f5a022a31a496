// The frame's menu bar. The popups' positions are fixed (the module gives
// each popup the context-help id of its position); the texts are the
// frame's own. Command numbers are the module's.
#include "host/frame/FrameMenu.h"

#include <initializer_list>
#include <iterator>

namespace {

struct Item {
  const char* text;
  UINT id;
};

struct Popup {
  const char* text;
  std::initializer_list<Item> items;
};

const Popup kPopups[] = {
    {"&File",
     {{"&Save", 57603}, {"Save List &As...", 57604}, {"&Print List", 57607},
      {"Acquisitions &Parameters", 291}, {"&Workslip Printer Options", 292}, {"E&xit", 57665}}},
    {"&Edit",
     {{"Cu&t", 57635}, {"&Copy", 57634}, {"&Paste", 57637}, {"C&lear", 57632},
      {"&Edit Record", 12}, {"&Delete Record", 13}}},
    {"&View",
     {{"&Search", 42102}, {"&Reload", 42202}, {"Pre&vious Record", 42012},
      {"&Next Record", 42423}, {"&First Record", 42409}, {"&Last Record", 42404},
      {"Ne&w Record", 42424}, {"&Copy Record", 42425}, {"S&ave Record", 42313},
      {"Cancel C&hanges", 42411}, {"R&efresh", 57642}}},
    {"&Purchase Orders",
     {{"New PO for &Vendor...", 151}, {"&New PO", 165}, {"PO &Templates", 166},
      {"New PO Te&mplate", 169}, {"&Find PO", 152}, {"Find PO &Line", 153},
      {"POs of &Statement", 154}, {"&Approve PO Lines", 155}, {"PO Lines", 160},
      {"Cancel PO", 161}, {"PO Line List", 171}, {"Approve", 172}, {"Create Items", 176},
      {"Copies of Line", 177}, {"Create Copies", 178}, {"Prorated Extra Charges", 179},
      {"Bibliographic Record", 180}, {"Apply Pattern", 191}, {"Save Pattern", 192},
      {"Delete Pattern", 193}, {"Undo 201", 201}, {"Undo 202", 202}, {"Undo 203", 203},
      {"Undo 204", 204}, {"Undo 205", 205}, {"Purchase Requests", 251},
      {"Find Purchase Requests", 252}, {"Copies", 253}}},
    {"&Receiving", {{"&Receive", 173}, {"&Cancel", 174}, {"&Back Order", 175}}},
    {"&Statements",
     {{"New Statement (Type 0)", 211}, {"New Statement (Type 1)", 215},
      {"New Statement (Type 2)", 219}, {"New Statement (Type 3)", 216},
      {"New Statement (Type 4)", 220}, {"New Statement (Type 5)", 217},
      {"New Statement (Type 6)", 221}, {"&Find Statement", 212}, {"Statements of PO", 213},
      {"Credits Applied", 214}, {"Statement Mode", 218}, {"Undo Statement", 222},
      {"Statements to Approve", 223}, {"Undo Approval", 224}, {"Prorate Extra Charges", 231},
      {"Approve Statement", 232}}},
    {"&Vouchers",
     {{"&Voucher List", 241}, {"&Lists", 242}, {"Outstanding &Payables", 310},
      {"&Cheque Runs", 320}, {"Cheque &Updates", 330}}},
    {"&Budgets",
     {{"Accounts 261", 261}, {"Accounts 262", 262}, {"Accounts 263", 263},
      {"Budget Hierarchy Manager", 264}, {"Account &Years", 265}, {"&Reassign Budget", 266},
      {"&Transfer Unspent", 267}, {"Budget Hierarchy &Report", 268},
      {"Budget Hierarchy", 281}, {"Hierarchy Operation 134", 134},
      {"Hierarchy Operation 135", 135}, {"Hierarchy Operation 136", 136},
      {"Hierarchy Operation 137", 137}}},
    {"ED&I",
     {{"&Upload EDIFACT Files", 109}, {"EDIFACT &Orders", 156}, {"&BISAC Orders", 157},
      {"Order &Responses", 164}, {"EDIFACT &Invoices", 225}}},
    {"&Print",
     {{"Print &POs", 158}, {"Print 159", 159}, {"&Workslip Batches", 170},
      {"&Claims Review", 271}, {"Print C&laims", 272}, {"Renewal Candidates", 162},
      {"Set Renewal Orders", 163}}},
    {"&Reports",
     {{"Budget &Status", 282}, {"Budget &Codes", 283}, {"PO Lines by &Vendor", 284},
      {"Vendor C&ontracts", 285}, {"&Tax Report", 340}, {"Tax Report (Summary)", 350}}},
    {"&Window", {}},
    {"&Help", {{"&About Acquisitions", 57664}}},
};
static_assert(std::size(kPopups) == 13, "the module counts on thirteen popups");

}  // namespace

std::string FrameMenuText(UINT id) {
  for (const Popup& popup : kPopups)
    for (const Item& item : popup.items)
      if (item.id == id) {
        std::string text;
        for (const char* c = item.text; *c; ++c)
          if (*c != '&') text.push_back(*c);
        return text;
      }
  return {};
}

HMENU BuildFrameMenu() {
  HMENU bar = CreateMenu();
  for (const Popup& popup : kPopups) {
    HMENU sub = CreateMenu();
    for (const Item& item : popup.items) AppendMenuW(sub, item.text, item.id);
    AppendMenuW(bar, popup.text, 0, sub);
  }
  return bar;
}
