#ifndef VANTORIX_INTERFACE_ALERTRECORDER_H
#define VANTORIX_INTERFACE_ALERTRECORDER_H

#include "Interface/Alert.h"

#include <QList>

#include <vector>

namespace vantorix {

// For tests: while it lives, every alert box is recorded instead of shown,
// and each ConfirmAlert is answered with the next queued answer (the default
// answer once the queue is empty). Puts back the previous responder when
// destroyed.
class AlertRecorder {
public:
    explicit AlertRecorder(bool defaultAnswer = false);
    ~AlertRecorder();
    AlertRecorder(const AlertRecorder&) = delete;
    AlertRecorder& operator=(const AlertRecorder&) = delete;

    // Answers for the next confirm boxes, in order.
    void queue(bool answer) { m_answers.append(answer); }

    const std::vector<Alert::Request>& boxes() const { return m_boxes; }
    void clear() { m_boxes.clear(); }

private:
    bool respond(const Alert::Request& request);

    std::vector<Alert::Request> m_boxes;
    QList<bool> m_answers;
    bool m_defaultAnswer;
    Alert::Responder m_previous;
};

} // namespace vantorix

#endif
