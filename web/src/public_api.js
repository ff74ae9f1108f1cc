// window.zirvon: the page's calls for tests and for anyone who embeds
// zirvon, synchronous, with plain results in the command line's terms.

const text = new TextDecoder();

function publicDiagnostics(diagnostics) {
    return diagnostics.map(({ line, column, severity, message, code }) => ({ line, column, severity, message, code }));
}

/** {ok, data, diagnostics, message} of a file call; `asText` gives the
 * data as a string (the listing, the picture). */
function fileResult(result, asText) {
    return {
        ok: result.ok,
        data: result.ok ? (asText ? text.decode(result.data) : result.data) : null,
        diagnostics: publicDiagnostics(result.diagnostics),
        message: result.message,
    };
}

/** The interface over `calls` (api.js); `position()` tells where the player is. */
export function publicInterface(calls, position) {
    return Object.freeze({
        compile(source, options = {}) {
            const result = calls.compile(source, options);
            return {
                image: result.ok ? result.data : null,
                diagnostics: publicDiagnostics(result.diagnostics),
                summary: result.summary,
            };
        },
        list: (source, options = {}) => fileResult(calls.list(source, options), true),
        midi: (source, options = {}) => fileResult(calls.file('midi', source, options), false),
        wav: (source, options = {}) => fileResult(calls.file('wav', source, options), false),
        svg: (source, options = {}) => fileResult(calls.file('svg', source, options), true),
        // What Play plays, without playing it: the passage, and the summary the page shows.
        play(source, options = {}) {
            const plan = calls.play(source, options);
            return {
                ok: plan.ok,
                passage: plan.ok ? plan.passage : null,
                diagnostics: publicDiagnostics(plan.diagnostics),
                summary: plan.summary,
                message: plan.message,
            };
        },
        // The picture of the passage as it plays: of an image, renamed as /play writes it back.
        roll: (source, options = {}) => fileResult(calls.roll(source, options), true),
        get player() {
            return position();
        },
    });
}
