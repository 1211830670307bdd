#include "HistoryUnit.h"

#include <objbase.h>
#include <urlhist.h>

#include "../../framework/ComPtr.h"

namespace HistoryUnit {

namespace {
// The URL history object and its interface that can clear the whole history.
const CLSID kUrlHistoryClass = {0x3C374A40, 0xBAE4, 0x11CF, {0xBF, 0x7D, 0x00, 0xAA, 0x00, 0x69, 0x46, 0xEE}};
const IID kUrlHistoryStg2 = {0xAFA0DC11, 0xC313, 0x11D0, {0x83, 0x1A, 0x00, 0xC0, 0x4F, 0xD5, 0xAE, 0x38}};
}  // namespace

HRESULT ClearHistory() {
  TComPtr<IUrlHistoryStg2> history;
  HRESULT hr = CoCreateInstance(kUrlHistoryClass, nullptr, CLSCTX_INPROC_SERVER, kUrlHistoryStg2, history.Out());
  if (FAILED(hr)) return hr;
  if (!history) return E_NOINTERFACE;
  return history->ClearHistory();
}

}  // namespace HistoryUnit
