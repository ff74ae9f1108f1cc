// Where the music is: the passage that plays, and the tick and block that
// are heard now, from the audio clock and the frame on which the player
// started the passage. Tick n of a passage is heard on frame n x rate / 50
// after its start, as the player runs it.

const TICKS_PER_SECOND = 50;

export class Player {
    constructor(audio) {
        this.audio = audio;
        this.serial = 0;
        this.playing = false;
        this.endTick = null;
        this.passage = null;
        this.blocks = [];
        this.startFrame = null;
        this.lastTick = 0;
    }

    /** Plays `plan` ({passage, blocks, image}: what api.js's play gives). */
    async start(plan, loop) {
        this.serial++;
        this.passage = plan.passage;
        this.blocks = plan.blocks;
        this.startFrame = null;
        this.endTick = null;
        this.lastTick = 0;
        this.playing = true;
        const { start, end, audible } = plan.passage;
        await this.audio.play({ serial: this.serial, image: plan.image, start, end, audible, loop });
    }

    stop() {
        performance.mark('zirvon: stop');
        if (this.playing) this.lastTick = this.position().tick;
        this.audio.stop();
        this.playing = false;
    }

    /** The player loops, or stops, at the end of the turn it plays. */
    setLoop(loop) {
        this.audio.setLoop(loop);
    }

    /** The tracks heard (bit k: track k), from now on. */
    setAudible(audible) {
        this.audio.setAudible(audible);
    }

    /** A key held for entry: its note-on or note-off (`status`), at once. */
    key(status, note) {
        this.audio.key(status, note).catch(() => {});
    }

    /** What the player in the audio thread says (worklet.js). */
    heard(message) {
        if (message.serial !== this.serial) return;
        if (message.type === 'started') this.startFrame = message.frame;
        if (message.type === 'sounded') {
            // When it is heard, for the benchmark (web/bench/page_bench.mjs) and DevTools.
            const { baseLatency, outputLatency } = this.audio.context;
            performance.mark('zirvon: first sound', {
                startTime: this.audio.timeOfFrame(message.frame),
                detail: { baseLatency, outputLatency },
            });
        }
        if (message.type === 'silenced') {
            // When it is heard, and how much sound the audio thread made after the stop reached it.
            const rendered = (message.after / this.audio.rate) * 1000;
            performance.mark('zirvon: silence', { startTime: this.audio.timeOfFrame(message.frame), detail: { rendered } });
        }
        if (message.type === 'ended') this.endTick = message.ticks;
    }

    length() {
        return this.passage ? this.passage.end - this.passage.start : 0;
    }

    /** {playing, tick, block}: the tick of the passage heard now (of the
     * turn, with a loop) and the song's block it lies in. */
    position() {
        if (this.playing && this.startFrame !== null) {
            const frames = this.audio.heardFrame() - this.startFrame;
            const elapsed = Math.max(0, Math.floor((frames * TICKS_PER_SECOND) / this.audio.rate));
            const length = this.length();
            // The audio thread says where it ended before that is heard.
            if (this.endTick !== null && elapsed >= this.endTick) {
                this.lastTick = length;
                this.playing = false;
            } else {
                this.lastTick = length > 0 ? elapsed % length : 0;
            }
        }
        return { playing: this.playing, tick: this.lastTick, block: this.blockOf(this.lastTick) };
    }

    /** The song's block (from 1) of passage tick `tick`; 0 when none. */
    blockOf(tick) {
        if (!this.passage) return 0;
        const songTick = this.passage.start + tick;
        let low = 0;
        let high = this.blocks.length;
        while (low < high) {
            const middle = (low + high) >> 1;
            if (this.blocks[middle] <= songTick) low = middle + 1;
            else high = middle;
        }
        return Math.max(low, this.blocks.length ? 1 : 0);
    }
}
