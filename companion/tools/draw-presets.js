#!/usr/bin/env node
'use strict'

// Draws the module's preset page as a 15-key deck would show it, mid-talk, into a PNG (by
// default docs/companion-presets.png): the presets' own styles and texts, their variables filled
// in from a state the program could send, and their feedbacks applied as Companion applies them.
//   node tools/draw-presets.js [OUT.png]
// Needs Chromium (Debian's chromium package) for the screenshot.

const { execFileSync } = require('node:child_process')
const fs = require('node:fs')
const os = require('node:os')
const path = require('node:path')
const { feedbackDefinitions, presetDefinitions } = require('../src/definitions')
const { variableValues } = require('../src/state')

const COLUMNS = 5
const KEY = 144 // px: a deck's 72-pixel key, twice over
const GAP = 28
const MARGIN = 48

// The second talk of the example programme, four minutes gone, with its saved messages.
function sampleState() {
	const programme = JSON.parse(fs.readFileSync(path.join(__dirname, '../../docs/example-programme.json'), 'utf8'))
	const [talk, next] = programme.talks.slice(1, 3)
	return {
		text: '21:00',
		background: '#000000',
		foreground: '#00ff00',
		state: 'running',
		stateText: '進行中',
		remaining: 1260,
		talk: { number: 2, count: programme.talks.length, title: talk.title, speaker: talk.speaker, affiliation: talk.affiliation },
		next: { title: next.title, speaker: next.speaker, affiliation: next.affiliation ?? '' },
		session: { plannedEnd: '15:01', projectedEnd: '15:03', behindSeconds: 130 },
		message: null,
		messages: programme.messages,
		clock: '13:48:12',
	}
}

// A preset's face as Companion would draw it: its style, then each feedback that holds on top.
function face(preset, feedbacks, values) {
	const style = { ...preset.style }
	for (const { feedbackId, options, style: given } of preset.feedbacks) {
		const definition = feedbacks[feedbackId]
		const result = definition.callback({ options })
		if (definition.type === 'advanced') Object.assign(style, result)
		else if (result) Object.assign(style, given ?? definition.defaultStyle)
	}
	style.text = style.text.replace(/\$\(([^:)]+):([^)]+)\)/g, (_, label, id) => String(values[id] ?? '')).replace(/\\n/g, '\n')
	return style
}

const css = (colour) => `#${colour.toString(16).padStart(6, '0')}`
const escape = (text) => text.replace(/[&<>"]/g, (c) => `&#${c.charCodeAt(0)};`)

function page(styles) {
	const rows = Math.ceil(styles.length / COLUMNS)
	const keys = styles
		.map((style) => {
			const digits = /^[-\d:]+$/.test(style.text)
			const size = style.size === 'auto' ? 'auto' : String(Number(style.size) * 2)
			return `<div class="key${digits ? ' digits' : ''}" data-size="${size}" style="background:${css(style.bgcolor)};color:${css(style.color)}"><span>${escape(style.text)}</span></div>`
		})
		.join('\n')
	return `<!doctype html><meta charset="utf-8">
<style>
body { margin: 0; background: #e8e8e8; font-family: "DejaVu Sans", "IPAGothic", sans-serif; }
.deck { margin: ${MARGIN / 2}px; padding: ${MARGIN / 2}px; background: #151515; border-radius: 36px;
	display: grid; grid-template-columns: repeat(${COLUMNS}, ${KEY}px); grid-auto-rows: ${KEY}px; gap: ${GAP}px; width: max-content; }
.key { border-radius: 14px; display: flex; align-items: center; justify-content: center; overflow: hidden;
	text-align: center; white-space: pre-wrap; line-height: 1.15; padding: 8px; box-sizing: border-box;
	box-shadow: inset 0 0 0 2px rgba(255, 255, 255, 0.08); }
.key span { display: block; max-width: 100%; }
.digits { font-family: "DejaVu Sans Mono", monospace; font-weight: bold; letter-spacing: -2px; }
</style>
<div class="deck">${keys}</div>
<script>
// Companion's "auto" size: the largest that fits the key.
for (const key of document.querySelectorAll('.key')) {
	const span = key.firstElementChild
	let size = key.dataset.size === 'auto' ? 48 : Number(key.dataset.size)
	span.style.fontSize = size + 'px'
	while (size > 10 && (span.scrollHeight > key.clientHeight - 16 || span.scrollWidth > key.clientWidth - 16))
		span.style.fontSize = --size + 'px'
}
</script>`
}

function main() {
	const out = path.resolve(process.argv[2] ?? path.join(__dirname, '../../docs/companion-presets.png'))
	const state = sampleState()
	const feedbacks = feedbackDefinitions({ state })
	const values = variableValues(state)
	const styles = Object.values(presetDefinitions('podiumwatch')).map((preset) => face(preset, feedbacks, values))
	const rows = Math.ceil(styles.length / COLUMNS)
	const width = COLUMNS * KEY + (COLUMNS - 1) * GAP + 2 * MARGIN
	const height = rows * KEY + (rows - 1) * GAP + 2 * MARGIN

	const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'podiumwatch-presets-'))
	try {
		const html = path.join(folder, 'presets.html')
		fs.writeFileSync(html, page(styles))
		const browser = ['chromium', 'chromium-browser'].find((name) => {
			try {
				execFileSync('sh', ['-c', `command -v ${name}`], { stdio: 'ignore' })
				return true
			} catch {
				return false
			}
		})
		if (!browser) throw new Error('needs Chromium: apt-get install chromium')
		execFileSync(browser, ['--headless', '--no-sandbox', '--disable-gpu', '--hide-scrollbars', '--no-first-run',
			'--disable-background-networking', '--disable-component-update', `--user-data-dir=${path.join(folder, 'profile')}`,
			`--window-size=${width},${height}`, `--screenshot=${out}`, '--virtual-time-budget=2000', `file://${html}`],
			{ stdio: 'ignore', timeout: 90000 })
		console.log(`${out}: ${styles.length} keys, ${width}×${height}`)
	} finally {
		fs.rmSync(folder, { recursive: true, force: true })
	}
}

main()
