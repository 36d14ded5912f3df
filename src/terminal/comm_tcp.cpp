// Construction, initialisation, copying and destruction of the terminal object.
#include "terminal/comm_tcp.h"

#include <cstring>
#include <new>

#include "net/tls_session.h"
#include "terminal/settings.h"
#include "tn3270/terminal_model.h"

namespace {

const char kOutOfMemoryText[] =
    "You are running out of memory,please close some applications and start this program again";

void fillLogFont(LOGFONTA* lf, BYTE charset, BYTE quality, BYTE pitchAndFamily, const char* face) {
  std::memset(lf, 0, sizeof *lf);
  lf->lfHeight = -24;
  lf->lfWeight = FW_NORMAL;
  lf->lfCharSet = charset;
  lf->lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf->lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf->lfQuality = quality;
  lf->lfPitchAndFamily = pitchAndFamily;
  std::strncpy(lf->lfFaceName, face, LF_FACESIZE - 1);
}

}  // namespace

SharedResources::~SharedResources() {
  if (holders_ && --*holders_ == 0) delete holders_;
}

int* SharedResources::share() const {
  if (!holders_) holders_ = new int(1);
  ++*holders_;
  return holders_;
}

CommTcp::CommTcp() = default;

// Every member is copied as it is: the copy shares the NVT buffers, fonts,
// socket and trace stream of the original.
CommTcp::CommTcp(const CommTcp& other) = default;

CommTcp& CommTcp::operator=(const CommTcp& other) {
  if (this != &other) {
    // Let go of what this object held, then share what the other holds.
    this->CommTcp::~CommTcp();
    new (this) CommTcp(other);
  }
  return *this;
}

CommTcp::~CommTcp() {
  TlsEnd(*this);  // the channel is this object's alone
  if (!shared_.lastHolder()) return;
  delete[] nvtChars;
  delete[] nvtAttributes;
  if (screenFont) DeleteObject(screenFont);
  if (lineDrawFont) DeleteObject(lineDrawFont);
  nvtChars = nullptr;
  nvtAttributes = nullptr;
  screenFont = lineDrawFont = nullptr;
}

int CommTcp::ComTcpInit() {
  resizePending = 0;
  socketHandle = INVALID_SOCKET;
  fieldCount = 0;
  currentField = 0;
  traceFile = nullptr;
  lastVirtualKey = 0;
  selStartColumn = selStartRow = selEndColumn = selEndRow = 0;
  clipboardData = nullptr;
  selecting = 0;
  cursorColumn = cursorRow = 0;
  cellWidth = cellHeight = 0;
  nvtColumns = kNvtColumns;
  nvtRows = 24;
  scrollRegion = RECT{0, 0, 0, 0};

  backgroundColor = ReadColorSetting("BackGroundColor", "0,0,0");
  unprotectedHighLightColor = ReadColorSetting("UnProtectedHighLightColor", "0,128,128");
  protectedHighLightColor = ReadColorSetting("ProtectedHighLightColor", "125,255,0");
  unprotectedNormalColor = ReadColorSetting("UnProtectedNormalColor", "0,255,255");
  protectedNormalColor = ReadColorSetting("ProtectedNormalColor", "0,255,0");
  ReadModelColors(modelColors);

  connected = 0;
  typedCount = 0;
  outboundLength = 0;
  recordFill = 0;
  recordHandler = nullptr;
  nvtViewTop = 0;

  nvtChars = new (std::nothrow) char[kNvtBufferCells];
  nvtAttributes = nvtChars ? new (std::nothrow) uint32_t[kNvtBufferCells] : nullptr;
  if (!nvtChars || !nvtAttributes) {
    delete[] nvtChars;
    nvtChars = nullptr;
    MessageBoxA(nullptr, kOutOfMemoryText, "Out Of Memory", MB_OK | MB_ICONWARNING);
    return 0;
  }

  nvtCurrentAttribute = 0;
  terminalType = kTypeVt100;
  pendingTailLength = 0;
  repaintPending = 0;
  newLineMode = 0;
  replaceMode = 1;
  savedCursorColumn = savedCursorRow = 0;
  savedAttribute = 0;

  std::memset(nvtChars, ' ', kNvtBufferCells);
  std::memset(nvtAttributes, 0, kNvtBufferCells * sizeof *nvtAttributes);
  nvtRingTop = 0;

  terminalMode = 0;
  model3270::ResetScreen(modelScreen, ReadModelSetting());
  modelLocked = 0;
  dontRetryCount = 0;
  wontRetryCount = 0;

  fillLogFont(&screenLogFont, ANSI_CHARSET, PROOF_QUALITY, FIXED_PITCH | FF_MODERN, "mera_ansi");
  screenFont = CreateFontIndirectA(&screenLogFont);
  fillLogFont(&lineDrawLogFont, OEM_CHARSET, DEFAULT_QUALITY, DEFAULT_PITCH | FF_MODERN, "mera_oem_linedraw");
  lineDrawFont = CreateFontIndirectA(&lineDrawLogFont);

  aid = 0x7D;  // Enter
  return 1;
}

void CommTcp::InitScreen() {
  fieldCount = 0;
  std::memset(fieldTable, 0, sizeof fieldTable);
  std::memset(screenChars, 0, kScreenPositions);
  std::memset(attributePositions, 0, kScreenPositions);
  std::memset(positionAttribute, 0, kScreenPositions);
}

void CommTcp::Present() {
  if (display)
    display->Present(*this);
  else
    damage.Clear();
}
