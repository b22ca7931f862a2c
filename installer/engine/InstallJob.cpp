// The result codes' texts and the values the uninstall record carries for
// the product's updater.
#include "installer/engine/InstallJob.h"

#include "installer/services/SetupLog.h"
#include "installer/services/SlimLock.h"
#include "installer/services/TextConvert.h"

#include "skinui/core/TextFormat.h"

const char kProcessChannel[] = "com.quillmoss.business.220822";
const char kChannelName[] = "220822";

std::string GetErrorText(unsigned code) {
    // By code; success, a stop and unknown codes have no text of a failed step.
    static const wchar_t* const kTexts[] = {
        nullptr,                                 // INSTALL_OK
        L"解压文件失败!",                        // INSTALL_ERR_UNZIP
        L"释放资源文件失败!",                    // INSTALL_ERR_RESOURCE
        L"拷贝文件失败!",                        // INSTALL_ERR_COPY
        L"创建快捷方式失败!",                    // INSTALL_ERR_SHORTCUT
        L"保存信息到注册表失败!",                // INSTALL_ERR_REGISTRY
        nullptr,                                 // INSTALL_CANCELLED
        L"安装文件已损坏, 请重新下载安装程序。", // INSTALL_ERR_DAMAGED
    };
    if (code >= sizeof(kTexts) / sizeof(kTexts[0]) || !kTexts[code])
        return std::string();
    return ToNarrow(kTexts[code]);
}

namespace {

// What the user reads after a run that did not complete, below the failed
// step's text: whether everything it changed was put back.
std::wstring RollbackText(bool complete) {
    return complete ? L"所做的更改已全部撤销, 您电脑上的内容没有任何改变。"
                    : L"部分更改未能撤销, 下次运行安装程序时将继续恢复原状。";
}

// The line below the failed step's text: the file or folder the failing call
// was given and the system's words for its error, as far as they are known.
// Paths are shown as a person typed them, without the long-path prefix the
// engine uses below the install folder.
std::wstring FailureLine(const TInstallFailure& failure) {
    std::wstring line = failure.path;
    if (line.compare(0, 4, L"\\\\?\\") == 0)
        line.erase(0, 4);
    if (failure.error != ERROR_SUCCESS) {
        std::wstring words = SystemErrorText(failure.error);
        // An error the system has no words for is named by its number.
        if (words.empty() || words[0] == L'(')
            words = L"错误代码 " + SkinUI::DecimalText(failure.error);
        line += line.empty() ? words : L": " + words;
    }
    return line;
}

} // namespace

std::wstring TInstallFailure::Text() const {
    std::wstring text = step;
    for (const std::wstring& part :
         {path, error != ERROR_SUCCESS ? SystemErrorText(error) : std::wstring()}) {
        if (part.empty())
            continue;
        if (!text.empty())
            text += L": ";
        text += part;
    }
    return text;
}

void CRunReport::Store(const TInstallOutcome& outcome) const {
    CSlimLockHold hold(&m_shared->lock);
    m_shared->outcome = outcome;
}

TInstallOutcome CRunReport::Load() const {
    CSlimLockHold hold(&m_shared->lock);
    return m_shared->outcome;
}

std::wstring OutcomeMessage(const TInstallOutcome& outcome) {
    if (outcome.result == INSTALL_OK)
        return std::wstring();
    // The step's text first, then why it failed, then what became of the
    // changes. A stop always ends with the latter: its own result has no
    // text of a failed step, and nothing failed.
    std::wstring text = outcome.result == INSTALL_CANCELLED ? std::wstring(L"安装已停止。")
                                                            : ToWide(GetErrorText(outcome.result));
    if (outcome.result != INSTALL_CANCELLED) {
        const std::wstring why = FailureLine(outcome.failure);
        if (!why.empty())
            text += L"\n" + why;
    }
    if (outcome.rolledBack || outcome.result == INSTALL_CANCELLED)
        text += L"\n" + RollbackText(outcome.Settled());
    return text;
}
