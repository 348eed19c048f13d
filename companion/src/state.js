'use strict'

// What the program's control socket says, made into what Companion shows: variable values,
// the conditions the feedbacks light on, and the display's colours. The program sends its whole
// state in every state message, so each of these is worked out from one message alone.

// A message is either the program's state or the answer to one of our commands (it has "reply").
function readFrame(text) {
	let value
	try {
		value = JSON.parse(text)
	} catch {
		return null
	}
	if (value === null || typeof value !== 'object' || Array.isArray(value)) return null
	if (Object.hasOwn(value, 'reply'))
		return { kind: 'reply', id: value.reply, status: value.status, reason: value.reason ?? '' }
	return { kind: 'state', state: value }
}

// The program's own words for the session against its plan, in whole minutes towards zero so
// that they never claim more than has happened.
function scheduleInWords(behindSeconds) {
	const minutes = Math.trunc(behindSeconds / 60)
	if (minutes === 0) return '予定どおり'
	return minutes > 0 ? `予定より ${minutes}分 遅れ` : `予定より ${-minutes}分 早い`
}

// The talk has run out: the clock counts on past zero. Paused in over-time is still over-time.
function isOverTime(state) {
	return typeof state.remaining === 'number' && state.remaining < 0
}

const SAVED_MESSAGES = 20

const VARIABLES = [
	['time', 'Time as the display shows it'],
	['remaining', 'Remaining seconds (negative in over-time)'],
	['bell', 'Last bell passed (0: none yet)'],
	['over_time', 'Over-time (yes/no)'],
	['over_time_seconds', 'Seconds over time (0 before)'],
	['state', 'Clock state (setup, running, paused)'],
	['state_text', 'Clock state in the main window\'s words'],
	['talk_number', 'Talk number'],
	['talk_count', 'Number of talks'],
	['talk_title', 'Talk title'],
	['talk_speaker', 'Talk speaker'],
	['talk_affiliation', 'Talk speaker\'s affiliation'],
	['next_title', 'Next talk title'],
	['next_speaker', 'Next talk speaker'],
	['next_affiliation', 'Next talk speaker\'s affiliation'],
	['planned_end', 'Session end as planned (HH:MM)'],
	['projected_end', 'Session end as projected (HH:MM)'],
	['schedule', 'Ahead or behind the plan, in words'],
	['behind_seconds', 'Seconds behind the plan (negative when ahead)'],
	['message', 'Message shown to the speaker'],
	['clock', 'Time of day on the program\'s computer'],
	...Array.from({ length: SAVED_MESSAGES }, (_, i) => [`saved_${i + 1}`, `Saved message ${i + 1}`]),
]

function variableDefinitions() {
	return VARIABLES.map(([variableId, name]) => ({ variableId, name }))
}

// Absent values (no programme, no message) are empty strings, so a button shows nothing rather
// than the last talk's title.
function variableValues(state) {
	const talk = state.talk ?? {}
	const next = state.next ?? {}
	const session = state.session ?? {}
	const over = isOverTime(state)
	const behind = session.behindSeconds ?? null
	const values = {
		time: state.text ?? '',
		remaining: state.remaining ?? '',
		bell: state.bell ?? '',
		over_time: over ? 'yes' : 'no',
		over_time_seconds: over ? -state.remaining : 0,
		state: state.state ?? '',
		state_text: state.stateText ?? '',
		talk_number: talk.number ?? '',
		talk_count: talk.count ?? '',
		talk_title: talk.title ?? '',
		talk_speaker: talk.speaker ?? '',
		talk_affiliation: talk.affiliation ?? '',
		next_title: next.title ?? '',
		next_speaker: next.speaker ?? '',
		next_affiliation: next.affiliation ?? '',
		planned_end: session.plannedEnd ?? '',
		projected_end: session.projectedEnd ?? '',
		schedule: behind === null ? '' : scheduleInWords(behind),
		behind_seconds: behind ?? '',
		message: state.message ?? '',
		clock: state.clock ?? '',
	}
	for (let i = 0; i < SAVED_MESSAGES; i++) values[`saved_${i + 1}`] = state.messages?.[i] ?? ''
	return values
}

// What the boolean feedbacks light on.
const CONDITIONS = Object.freeze({
	running: (state) => state.state === 'running',
	paused: (state) => state.state === 'paused',
	over_time: isOverTime,
	message_shown: (state) => Boolean(state.message),
	projector_shown: (state) => state.projector === true,
	masked: (state) => state.masked === true,
})

// The state names the last bell whose second this run has reached (0: none yet, and again after
// a reset or a restart). Bells ring in their numbers' order, so bell n has passed once that is n
// or more. A bell the clock was adjusted past is not reached, as in the program itself.
function bellPassed(state, number) {
	return typeof state.bell === 'number' && state.bell >= number
}

// "#rrggbb" as Companion's colour number (what combineRgb makes); undefined for anything else.
function colourNumber(text) {
	return /^#[0-9a-f]{6}$/i.test(String(text)) ? parseInt(text.slice(1), 16) : undefined
}

// Stale digits in the display's colours would look live: without the program the button greys.
const UNREACHED_STYLE = Object.freeze({ bgcolor: 0x303030, color: 0x808080 })

function displayStyle(state) {
	if (!state) return UNREACHED_STYLE
	const style = {}
	const bgcolor = colourNumber(state.background)
	const color = colourNumber(state.foreground)
	if (bgcolor !== undefined) style.bgcolor = bgcolor
	if (color !== undefined) style.color = color
	return style
}

module.exports = {
	CONDITIONS,
	SAVED_MESSAGES,
	UNREACHED_STYLE,
	bellPassed,
	displayStyle,
	readFrame,
	scheduleInWords,
	variableDefinitions,
	variableValues,
}
