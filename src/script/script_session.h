// The terminal window a script drives: made and connected through the
// library's exported functions, fed keys as window messages, its message loop
// run while an action waits. What a script sees of it (screen text, cursor,
// fields, connection state) is read from the window's terminal object. The
// keyboard lock of scripts lives here: an attention key locks the keyboard
// until the host's next 3270 record.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "quillon.h"
#include "tn3270/terminal_model.h"

class ScriptSession {
 public:
  ScriptSession();
  ~ScriptSession();
  ScriptSession(const ScriptSession&) = delete;
  ScriptSession& operator=(const ScriptSession&) = delete;

  // Connects to a host text; true once the session is up (for TLS: once the
  // handshake is done), false with the reason.
  bool Connect(const std::string& host, double seconds, std::string* error);
  void Disconnect();

  bool Connected() const;
  bool In3270() const;
  bool Negotiating() const;  // connected, 3270 chosen, 3270 not yet agreed
  bool Formatted() const;    // a 3270 screen with fields
  bool Locked() const;
  bool CursorProtected() const;  // the cursor is not in an input field
  int CursorRow() const;
  int CursorColumn() const;
  const std::string& HostName() const { return hostName_; }
  const std::string& LuName() const { return luName_; }
  // The LU a TN3270E host assigned on this connection, or "".
  std::string AssignedLu() const;
  bool InTn3270e() const;  // TN3270E agreed on this connection
  // The ATTN key: false when the session does not allow it (TN3270E's LU-LU session only).
  bool Attn();
  int Port() const { return port_; }
  bool Tls() const;

  // The 24 x 80 screen as the window shows it, one string a row; valid until
  // the next call.
  const std::vector<std::string>& Screen() const;
  // Changes each time the host's output changes what the screen shows.
  unsigned long OutputCount();

  // Keys, as the window receives them.
  void Char(unsigned char c);
  void KeyDown(UINT key);
  void Command(UINT id);
  // The attention identifier the next Enter sends (PF13-PF24).
  void SetAid(uint8_t aid);
  // The input field at the cursor, or any field there: its first position,
  // its length and the cursor's offset in it.
  bool CursorField(int* begin, int* length, int* offset) const;
  bool CursorAnyField(int* begin, int* length, int* offset) const;
  // An attention key: sent as given, and the keyboard locked until the host's next record.
  void Attention(const std::function<void()>& send);
  // Puts the cursor on (row, column): into an input field with the keys, so
  // that what is typed next lands there; elsewhere with a click. False when
  // the keys cannot reach the position (past a blank of a numeric field).
  bool MoveCursor(int row, int column);
  // One character key. In 3270 mode false, with the reason, when the
  // keyboard refused it (a protected position, a full field, a letter for a
  // numeric field).
  bool Type(unsigned char c, std::string* refused);

  // Runs the message loop until `done` holds or `seconds` (negative: no
  // limit) have passed; false when the time ran out.
  bool Pump(const std::function<bool()>& done, double seconds);
  // Runs the message loop only while `done` does not hold, looking before
  // each message: what the host sends after the next action line has come
  // waits for that action.
  void PumpUntil(const std::function<bool()>& done);
  // Message boxes the terminal showed since the last call.
  std::vector<std::string> TakeMessages();
  void NoteMessage(const std::string& text) { messages_.push_back(text); }

  // The 3270 model of the next connections; without one, the settings file's.
  void SetModel(const TerminalModel& m) {
    model_ = m;
    modelGiven_ = true;
  }
  // A screen of the model engine (every model but the default 3278-2).
  bool ModelMode() const;
  const CommTcp* Terminal() const { return terminal(); }
  // The screen's size now, and the model's number and terminal type.
  int Rows() const;
  int Columns() const;
  TerminalModel Model() const;
  // Back-tab, Erase EOF and Delete Field of the model screen's keyboard.
  void ModelBackTab();
  bool ModelErase(bool wholeField);

  bool trace = false;  // each connection writes telntlog.txt, as the trace box asks

  // Set by the record handler.
  static void RecordArrived();

 private:
  bool ensureWindow(std::string* error);
  CommTcp* terminal() const;
  // A 3270 screen whose characters and attributes are those lastScreen_ was read from.
  bool cellsAsLastRead(const CommTcp* t) const;
  // The screen as the host's data left it, without characters still being
  // typed (lastScreen_, read again when the cells changed).
  const std::vector<std::string>& hostScreen() const;
  const std::vector<std::string>& modelScreenText(const CommTcp& t) const;

  TerminalModel model_;
  bool modelGiven_ = false;
  HWND window_ = nullptr;
  HWND pumpWindow_ = nullptr;
  std::string hostName_;
  std::string luName_;
  int port_ = 0;
  std::vector<std::string> messages_;
  bool locked_ = false;
  unsigned long unlockAt_ = 0;
  unsigned long outputCount_ = 0;
  unsigned long recordsSeen_ = 0;           // 3270 records counted as output
  std::vector<std::string> lastNvtScreen_;  // the NVT screen counted as output
  mutable std::vector<std::string> lastScreen_;
  mutable std::vector<uint8_t> lastCells_;  // 3270 characters and attributes lastScreen_ was read from
  mutable std::vector<std::string> typedScreen_;  // lastScreen_ with the characters being typed
};

// The one session of the program; message boxes and records reach it here.
ScriptSession* CurrentScriptSession();
