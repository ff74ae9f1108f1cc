// The page's sound: an AudioContext at the rate of the WAV files where the
// browser allows it, with the player of worklet.js in its audio thread.
// Made once, ahead of the first Play, so that Play only has to resume it.

/* global ZIRVON_WORKLET_URL */

const RATE = 44100;

export class Audio {
    /** `module` is the core's compiled WebAssembly module; `onMessage` gets
     * what the player says (worklet.js). */
    constructor(module, onMessage) {
        this.module = module;
        this.onMessage = onMessage;
        this.ready = null;
        this.context = null;
        this.node = null;
        this.requests = 0; // Plays and Stops asked for, counted
    }

    /** Makes the context and loads the player, once. A context made before
     * the user has touched the page waits, suspended, for Play. */
    prepare() {
        this.ready ??= this.open().catch((error) => {
            this.ready = null;
            throw error;
        });
        return this.ready;
    }

    async open() {
        let context;
        try {
            context = new AudioContext({ sampleRate: RATE, latencyHint: 'interactive' });
        } catch {
            context = new AudioContext({ latencyHint: 'interactive' });
        }
        // worklet.js as a data: URL (web/build.mjs), which a page opened
        // from file:// may load, where it may not load a blob: URL.
        await context.audioWorklet.addModule(ZIRVON_WORKLET_URL);
        const node = new AudioWorkletNode(context, 'zirvon-player', {
            numberOfInputs: 0,
            outputChannelCount: [2],
            processorOptions: { module: this.module },
        });
        node.port.onmessage = (event) => this.onMessage(event.data);
        node.connect(context.destination);
        this.context = context;
        this.node = node;
    }

    get rate() {
        return this.context ? this.context.sampleRate : RATE;
    }

    /** Plays once the player is loaded, unless a Stop or another Play has
     * come meanwhile. */
    async play(message) {
        const request = ++this.requests;
        await this.prepare();
        if (request !== this.requests) return;
        this.node.port.postMessage({ type: 'play', ...message });
        if (this.context.state !== 'running') await this.context.resume();
    }

    stop() {
        this.requests++;
        this.node?.port.postMessage({ type: 'stop' });
    }

    setLoop(loop) {
        this.node?.port.postMessage({ type: 'loop', loop });
    }

    setAudible(audible) {
        this.node?.port.postMessage({ type: 'audible', audible });
    }

    /** Sounds a key's note-on or note-off beside what plays. */
    async key(status, note) {
        await this.prepare();
        this.node.port.postMessage({ type: 'key', status, note });
        if (this.context.state !== 'running') await this.context.resume().catch(() => {});
    }

    /** The frame that is heard now, counted on the context's clock. */
    heardFrame() {
        const context = this.context;
        if (!context) return 0;
        const stamp = context.getOutputTimestamp?.();
        if (stamp && stamp.performanceTime > 0) {
            return (stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000) * context.sampleRate;
        }
        return (context.currentTime - (context.outputLatency || 0)) * context.sampleRate;
    }

    /** performance.now() of the moment frame `frame` is heard. */
    timeOfFrame(frame) {
        const stamp = this.context.getOutputTimestamp();
        return stamp.performanceTime + (frame / this.context.sampleRate - stamp.contextTime) * 1000;
    }
}
