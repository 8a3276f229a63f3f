#pragma once

#include <memory>

class TFColorSel1;
class TFEditImage2;
class TFGPropa1;
class TFRotat1;
class TFSize1;
class TFText1;

namespace lumavex {

class TFAboutBox1;
class TMainForm;

/// The editor's long-lived windows, each created once, in the start-up order: the frame first,
/// then the About box, the text output dialog, the processing parameters, the mask editor and
/// the size, colour-count and rotate dialogs. Only the frame is shown; the dialogs hold the
/// settings of the run. One Editor exists at a time.
class Editor {
public:
    Editor();
    ~Editor();
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    /// The Editor that exists now.
    static Editor& instance();

    TMainForm* mainForm() const { return m_mainForm.get(); }
    TFAboutBox1* aboutBox() const { return m_aboutBox.get(); }
    TFText1* textDialog() const { return m_text.get(); }
    TFGPropa1* processingParameters() const { return m_parameters.get(); }
    TFEditImage2* maskEditor() const { return m_maskEditor.get(); }
    TFSize1* sizeDialog() const { return m_size.get(); }
    TFColorSel1* colorCountDialog() const { return m_colorCount.get(); }
    TFRotat1* rotateDialog() const { return m_rotate.get(); }

private:
    std::unique_ptr<TMainForm> m_mainForm;
    std::unique_ptr<TFAboutBox1> m_aboutBox;
    std::unique_ptr<TFText1> m_text;
    std::unique_ptr<TFGPropa1> m_parameters;
    std::unique_ptr<TFEditImage2> m_maskEditor;
    std::unique_ptr<TFSize1> m_size;
    std::unique_ptr<TFColorSel1> m_colorCount;
    std::unique_ptr<TFRotat1> m_rotate;
};

}  // namespace lumavex
