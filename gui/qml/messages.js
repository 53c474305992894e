.pragma library

// The model's texts in the user's language. The model keeps them in English, as the log writes
// them, and names the kind of a failure with its values.

// A text the model made, such as "Press the key to get the OTP!"; one of no known kind stays as
// the key gave it.
function model_text(text) {
    return qsTranslate("model", text)
}

// A failure of the credential list: {kind, values, text}, or an empty map after a success.
function failure(message) {
    switch (message.kind) {
    case undefined:
        return ""
    case "no_credential":
        return message.values[1] === "" ? qsTr("No credential %1 on the key; it holds none").arg(message.values[0])
                                        : qsTr("No credential %1 on the key; it holds %2").arg(message.values[0]).arg(message.values[1])
    default:
        return model_text(message.text)
    }
}
